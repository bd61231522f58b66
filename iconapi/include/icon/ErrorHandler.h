#pragma once

#include <cstdint>
#include <string>

namespace icon {

// Receives the API's own diagnostic messages. The API may call it from any of
// its threads, including a frame grabber's callback thread.
class ErrorHandler {
  public:
    virtual void message(int32_t level, const std::string& text) = 0;
    virtual ~ErrorHandler() = default;
};

}  // namespace icon
