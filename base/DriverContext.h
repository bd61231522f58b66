#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/CriticalSection.h"
#include "vavezaz/CvlDriver.h"

// The one process-wide state of the driver: what the host handed over, the
// initialize count, and the log settings with the lock that serialises logging.
// Thread-safe: what host threads change is atomic; the path has its own plain lock, held only to
// copy it; the rest is guarded by logLock, which is re-entrant because the host's debug procedure
// may log again from inside a log call.
class DriverContext {
  public:
    static DriverContext* Instance();

    DriverContext(const DriverContext&) = delete;
    DriverContext& operator=(const DriverContext&) = delete;

    // Host threads change these while the grabber threads log, so they are
    // atomic; the level test of the log reads them without taking logLock.
    std::atomic<DebugMsgProc> debugMsgProc{nullptr};
    std::atomic<int32_t> refCount{0};
    // True from the finalize that ends the last initialize until the next
    // initialize: calls that would open or use a camera are refused, as no
    // finalize would come to close it.
    std::atomic<bool> finalized{false};
    std::atomic<int32_t> logLevel{1};
    std::atomic<bool> logIntoFile{false};
    std::atomic<int32_t> debugViewOutput{0};
    platform::CriticalSection logLock;

    // Whether a line of this level reaches any output. Hot paths ask first, so
    // a line filtered out costs two loads instead of a call.
    bool Logs(int32_t level) const {
        return level <= logLevel.load(std::memory_order_relaxed) ||
               level <= debugViewOutput.load(std::memory_order_relaxed);
    }

    // The host's system directory as it was passed; the log reads it on other
    // threads.
    std::string GetSystemPath();
    void SetSystemPath(const std::string& path);

    // Lines logged to file before the system directory was known; written out
    // ahead of the first line that can reach the file. Guarded by logLock.
    std::vector<std::string> pendingLines;
    // Lines dropped because pendingLines was full. Guarded by logLock.
    int32_t droppedPendingLines = 0;

    // A relative path is taken to be inside the system directory.
    std::string ResolvePath(const std::string& path);
    // The inverse of ResolvePath: files at most one level above the system
    // directory come back relative to it, anything farther away absolute.
    std::string MakeRelativePath(const std::string& path);

    std::string SettingsFilePath();
    std::string LogFilePath();

  private:
    DriverContext() = default;

    std::mutex pathLock_;
    std::string systemPath_;
};
