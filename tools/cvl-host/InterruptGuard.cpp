#include "tools/cvl-host/InterruptGuard.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>

namespace {

// The signal may arrive on any thread, the driver's included; a lock-free
// atomic may be written from a signal handler and read on the main thread.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

#ifdef _WIN32
// Windows calls this on a thread of its own.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    interrupted = true;
    return TRUE;
}
#else
void OnSignal(int) {
    interrupted = true;
}
#endif

}  // namespace

#ifdef _WIN32
InterruptGuard::InterruptGuard() {
    interrupted = false;
    ::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

InterruptGuard::~InterruptGuard() {
    ::SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
}
#else

InterruptGuard::InterruptGuard() {
    interrupted = false;
    struct sigaction action = {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previousInterrupt_);
    ::sigaction(SIGTERM, &action, &previousTerminate_);
}

InterruptGuard::~InterruptGuard() {
    ::sigaction(SIGINT, &previousInterrupt_, nullptr);
    ::sigaction(SIGTERM, &previousTerminate_, nullptr);
}
#endif

bool InterruptGuard::Interrupted() {
    return interrupted;
}
