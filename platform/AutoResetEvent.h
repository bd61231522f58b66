#pragma once

#include <condition_variable>
#include <mutex>

namespace platform {

// An auto-reset event: Set signals it, and the one Wait that consumes the
// signal resets it. A Set with nobody waiting stays signalled until the next
// Wait; two Sets without a Wait between them count as one.
class AutoResetEvent {
  public:
    void Set();
    void Wait();

  private:
    std::mutex mutex_;
    std::condition_variable signal_;
    bool signalled_ = false;
};

}  // namespace platform
