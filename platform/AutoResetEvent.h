#pragma once

#ifndef _WIN32
#include <condition_variable>
#include <mutex>
#endif

namespace platform {

// An auto-reset event: Set signals it, and the one Wait that consumes the
// signal resets it. A Set with nobody waiting stays signalled until the next
// Wait; two Sets without a Wait between them count as one. On Windows it is
// the system's own event object.
// Thread-safe.
class AutoResetEvent {
  public:
#ifdef _WIN32
    AutoResetEvent();
    ~AutoResetEvent();
#else
    AutoResetEvent() = default;
#endif
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void Set();
    void Wait();

  private:
#ifdef _WIN32
    void* handle_;
#else
    std::mutex mutex_;
    std::condition_variable signal_;
    bool signalled_ = false;
#endif
};

}  // namespace platform
