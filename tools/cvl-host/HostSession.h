#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tools/cvl-host/Console.h"
#include "tools/cvl-host/HostLibrary.h"

// What the host tool's commands share: the loaded driver, the completion
// callback's bookkeeping, the driver's log lines and where output goes.
class HostSession {
  public:
    HostSession(HostLibrary& driver, Console& console, bool verbose);
    ~HostSession();

    HostLibrary& Driver() { return driver_; }
    Console& Out() { return console_; }

    // Waits until the driver announces `count` images on `port` in total, or
    // the time-out passes. False on time-out.
    bool WaitForImages(int port, int count, int timeoutMs);
    int ImagesAnnounced(int port);

    // Every log message the driver sent while `capture` was on.
    void Capture(bool capture);
    std::vector<std::string> Captured();

    static int OnImageComplete(int grabberNo, int portNo);
    static void OnDebugMessage(const char* text);

  private:
    void Announce(int port);
    void Log(const char* text);

    HostLibrary& driver_;
    Console& console_;
    bool verbose_;
    std::mutex mutex_;
    std::condition_variable announced_;
    std::vector<int> imagesPerPort_;
    bool capture_ = false;
    std::vector<std::string> captured_;
};
