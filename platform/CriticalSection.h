#pragma once

#include <mutex>

namespace platform {

// A re-entrant lock, like a Windows critical section: the thread that holds it
// may take it again. The log relies on this when a host debug procedure calls
// back into the driver from inside a log call. On Windows it is the system's
// critical section, kept out of this header so that the system's headers and
// their macros stay out of the driver's code.
// Thread-safe.
class CriticalSection {
  public:
#ifdef _WIN32
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock();
    bool try_lock();
    void unlock();

  private:
    void* section_;
#else
    void lock() {
        mutex_.lock();
    }
    bool try_lock() {
        return mutex_.try_lock();
    }
    void unlock() {
        mutex_.unlock();
    }

  private:
    std::recursive_mutex mutex_;
#endif
};

using ScopedLock = std::lock_guard<CriticalSection>;

}  // namespace platform
