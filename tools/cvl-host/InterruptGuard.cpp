#include "tools/cvl-host/InterruptGuard.h"

#include <atomic>

namespace {

// The signal may arrive on any thread, the driver's included; a lock-free
// atomic may be written from a signal handler and read on the main thread.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnSignal(int) {
    interrupted = true;
}

}  // namespace

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

bool InterruptGuard::Interrupted() {
    return interrupted;
}
