#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// The exit statuses of cvl-host, in one place: the tool's help prints this
// table and its page in docs/ is checked against that help.
enum class ExitCode {
    kOk = 0,
    kFailed = 1,
    kUsage = 2,
    kDriver = 3,
    kCamera = 4,
    kTimeout = 5,
    kInterrupted = 130,
};

struct ExitCodeInfo {
    ExitCode code;
    const char* name;
    const char* meaning;
};

const std::vector<ExitCodeInfo>& ExitCodes();

// A failure that ends the tool with `code`; the message names the thing and
// the reason and is printed after "cvl-host: ".
class ToolError : public std::runtime_error {
  public:
    ToolError(ExitCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}

    ExitCode Code() const { return code_; }

  private:
    ExitCode code_;
};

inline int Status(ExitCode code) {
    return static_cast<int>(code);
}
