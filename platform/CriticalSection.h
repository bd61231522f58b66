#pragma once

#include <mutex>

namespace platform {

// A re-entrant lock, like a Windows critical section: the thread that holds it
// may take it again. The log relies on this when a host debug procedure calls
// back into the driver from inside a log call.
class CriticalSection {
  public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

  private:
    std::recursive_mutex mutex_;
};

using ScopedLock = std::lock_guard<CriticalSection>;

}  // namespace platform
