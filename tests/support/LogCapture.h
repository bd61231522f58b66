#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "vavezaz/CvlDriver.h"

// Collects what the driver sends to the host's debug procedure and to the
// debugger output, for tests to inspect.
class LogCapture {
  public:
    // Installs the capture as the process's one debug procedure target.
    LogCapture();
    ~LogCapture();

    static DebugMsgProc Proc();

    // The messages the host procedure received, timestamps left out.
    std::vector<std::string> Messages() const;
    // Every text the host procedure received, timestamps included, in order.
    std::vector<std::string> Calls() const;
    std::vector<std::string> DebugOutput() const;
    bool Contains(const std::string& message) const;
    void Clear();

  private:
    static void OnProc(const char* text);
    static void OnDebugOutput(const char* text);

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::vector<std::string> debugOutput_;
};
