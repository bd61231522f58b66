#include "tools/cvl-host/InterruptGuard.h"

namespace {

volatile sig_atomic_t interrupted = 0;

void OnSignal(int) {
    interrupted = 1;
}

}  // namespace

InterruptGuard::InterruptGuard() {
    interrupted = 0;
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
    return interrupted != 0;
}
