#pragma once

#include <boost/thread/shared_mutex.hpp>
#include <mutex>

// The driver's data locks: the locks that guard its maps, lists, flags and
// images for a few steps at a time. Each counts itself, per thread, while it
// is held, and nothing is logged while any is held. The host's debug
// procedure runs under the log lock and may call any entry point, which takes
// these locks: a thread that held one and waited for the log lock would wait
// for ever on a thread that waits for it. The log checks the count in debug
// builds before it calls the host, so a line written under a lock fails the
// tests.
//
// An operation that must log while it keeps others out (an open or close of a
// camera, initialize and finalize, discovery) is serialised by a plain mutex
// instead, and a thread inside the host's debug procedure or a completion
// callback only tries that mutex: it may hold what the owner waits for.

// Driver locks the calling thread holds now.
int DriverLocksHeld();

namespace driver_lock_detail {
void Taken();
void Released();
}  // namespace driver_lock_detail

// A mutex (std::mutex, std::recursive_mutex, platform::CriticalSection) that
// counts its holds; use it with the standard guards.
template <typename Mutex>
class DriverLock {
  public:
    void lock() {
        mutex_.lock();
        driver_lock_detail::Taken();
    }
    bool try_lock() {
        if (!mutex_.try_lock()) {
            return false;
        }
        driver_lock_detail::Taken();
        return true;
    }
    void unlock() {
        driver_lock_detail::Released();
        mutex_.unlock();
    }

  protected:
    Mutex mutex_;
};

using DriverMutex = DriverLock<std::mutex>;
using DriverRecursiveMutex = DriverLock<std::recursive_mutex>;

// A reader/writer lock with an upgradable mode, used with Boost's guards.
// Shared and exclusive holds count. An upgradable hold does not: it is the
// one right to hand a buffer to a camera's adapters or to change them, held
// through a whole hand-off while the adapters build images, log and call the
// host back; readers go on beside it, and only its upgrade to exclusive, which
// counts, keeps them out.
// Thread-safe, as the lock it counts.
class DriverSharedMutex : public DriverLock<boost::shared_mutex> {
  public:
    void lock_shared() {
        mutex_.lock_shared();
        driver_lock_detail::Taken();
    }
    bool try_lock_shared() {
        if (!mutex_.try_lock_shared()) {
            return false;
        }
        driver_lock_detail::Taken();
        return true;
    }
    void unlock_shared() {
        driver_lock_detail::Released();
        mutex_.unlock_shared();
    }

    void lock_upgrade() { mutex_.lock_upgrade(); }
    bool try_lock_upgrade() { return mutex_.try_lock_upgrade(); }
    void unlock_upgrade() { mutex_.unlock_upgrade(); }
    void unlock_upgrade_and_lock() {
        mutex_.unlock_upgrade_and_lock();
        driver_lock_detail::Taken();
    }
    void unlock_and_lock_upgrade() {
        driver_lock_detail::Released();
        mutex_.unlock_and_lock_upgrade();
    }
};
