#include "platform/AutoResetEvent.h"

namespace platform {

void AutoResetEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    signal_.notify_one();
}

void AutoResetEvent::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    signal_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
}

}  // namespace platform
