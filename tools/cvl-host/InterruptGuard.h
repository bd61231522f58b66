#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

// While one lives, Ctrl-C (SIGINT) and SIGTERM, on Windows Ctrl-C, Ctrl-Break
// and closing the console, only set a flag, so a stream
// can stop its camera, close its port and print its summary before the tool
// ends. Made and destroyed on the main thread, one at a time; the flag may
// be set by the signal on any thread.
class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();

    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    static bool Interrupted();

#ifndef _WIN32
  private:
    struct sigaction previousInterrupt_ = {};
    struct sigaction previousTerminate_ = {};
#endif
};
