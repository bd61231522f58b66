#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A failed camera API call: the step that failed and the API's result code.
class VaveZAZError : public std::runtime_error {
  public:
    VaveZAZError(const std::string& label, int32_t code);

    // The label, and for a non-zero code the code with its name.
    const char* what() const noexcept override;

    int32_t Code() const { return code_; }

    // The API's name of a result code; empty for a code it does not define.
    static const char* CodeName(int32_t code);

  private:
    int32_t code_;
    mutable std::string rendered_;
};
