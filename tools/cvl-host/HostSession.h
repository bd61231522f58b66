#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tools/cvl-host/Console.h"
#include "tools/cvl-host/ExitCode.h"
#include "tools/cvl-host/HostLibrary.h"

// What the host tool's commands share: the loaded driver, the completion
// callback's bookkeeping, the driver's log lines and where output goes.
class HostSession {
  public:
    // `systemDir` holds the tool's own log, kLogFileName.
    HostSession(HostLibrary& driver, Console& console, bool verbose, const std::string& systemDir);
    ~HostSession();

    HostLibrary& Driver() { return driver_; }
    Console& Out() { return console_; }

    // Waits until the driver announces `count` images on `port` in total, or
    // the time-out passes. False on time-out.
    bool WaitForImages(int port, int count, int timeoutMs);
    int ImagesAnnounced(int port);
    // Called on the driver's thread with the port of each image announced,
    // after it is counted; empty for none. It must return quickly: the
    // driver waits for it.
    void SetImageListener(std::function<void(int port)> listener);

    // Every log message the driver sent while `capture` was on.
    void Capture(bool capture);
    std::vector<std::string> Captured();

    // The failure of the call just captured: `message`, then each warning and
    // error line the driver logged during the call. Everything captured is
    // appended to the tool's own log, which the message names; the driver's
    // VaveZAZ.log holds lines only when the host turns LogIntoFile on.
    ToolError Failure(ExitCode code, const std::string& message);
    // The warning and error lines captured, each after a line feed and
    // "  driver: ".
    std::string WarningLines();
    static constexpr const char* kLogFileName = "cvl-host.log";

    static int OnImageComplete(int grabberNo, int portNo);
    static void OnDebugMessage(const char* text);

  private:
    void Announce(int port);
    void Log(const char* text);
    bool AppendToLog(const std::string& message);

    HostLibrary& driver_;
    Console& console_;
    bool verbose_;
    std::string systemDir_;
    std::mutex mutex_;
    std::condition_variable announced_;
    std::vector<int> imagesPerPort_;
    // Held while the listener runs, so it is never changed under a call.
    std::mutex listenerMutex_;
    std::function<void(int)> listener_;
    bool capture_ = false;
    std::vector<std::string> captured_;
};
