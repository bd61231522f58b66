#pragma once

#include <sys/types.h>

#include <string>

// A virtual X display of the test's own: Xvfb started on a free display
// number, stopped again by the destructor.
class XvfbDisplay {
  public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // Empty when the server could not be started; Error() says why.
    const std::string& Name() const { return name_; }
    const std::string& Error() const { return error_; }

  private:
    pid_t server_ = -1;
    std::string name_;
    std::string error_;
};

// Where a program is found on PATH; empty when it is not.
std::string FindProgram(const std::string& program);

// Runs a command with DISPLAY set to `display`; its standard output and exit
// status.
struct CommandResult {
    int status = -1;
    std::string output;
};
CommandResult RunOnDisplay(const std::string& display, const std::string& command);
