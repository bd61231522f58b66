#pragma once

#include <signal.h>

// While one lives, Ctrl-C (SIGINT) and SIGTERM only set a flag, so a stream
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

  private:
    struct sigaction previousInterrupt_ = {};
    struct sigaction previousTerminate_ = {};
};
