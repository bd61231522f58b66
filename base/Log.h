#pragma once

#include <cstddef>
#include <cstdint>

class DriverContext;

// MinGW's C++ runtime formats with its own C99 printf (%zu, %lld), which
// MinGW's headers name; the Microsoft runtime's printf would not accept them.
#ifdef __MINGW_PRINTF_FORMAT
#define VAVEZAZ_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define VAVEZAZ_PRINTF_FORMAT printf
#endif

// Longest formatted message, terminator included; longer messages are cut.
constexpr size_t kLogMessageSize = 1024;

// Unwritten file lines kept while no system directory is set.
constexpr size_t kMaxPendingLines = 10000;

// Sends one line to the debugger output, the host's debug procedure and the
// log file, each according to its level setting. Never throws: an output
// that fails loses the line on that output only.
//
// The host's debug procedure is called under the log lock, which the caller
// must take holding no other driver lock (see DriverLock.h).
int WriteLog(DriverContext* context, int32_t level, const char* format, ...) noexcept
    __attribute__((format(VAVEZAZ_PRINTF_FORMAT, 3, 4)));

// True on a thread that is running the host's debug procedure: it holds the
// log lock, so it must not wait for an operation that logs on another thread.
bool InsideDebugProcedure();

// Marks, while it lives, a thread that the host's debug procedure may wait
// for: a frame grabber's callback or a processing thread, which a close
// joins or waits out, and the camera API's own threads. While another thread
// runs the procedure, such a thread does not wait for the log lock: it hands
// its line over, to be written right after the procedure's line. Other lines
// are written before WriteLog returns. Bound to the thread that makes it.
class LogWithoutWaiting {
  public:
    LogWithoutWaiting();
    ~LogWithoutWaiting();

    LogWithoutWaiting(const LogWithoutWaiting&) = delete;
    LogWithoutWaiting& operator=(const LogWithoutWaiting&) = delete;
};
