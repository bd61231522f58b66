#pragma once

#include <cstdint>

#ifndef _WIN32
#include <atomic>
#endif

namespace platform {

// A 32-bit counter changed only by interlocked operations: the system's own
// on Windows, kept out of this header with the system's headers.
// Thread-safe.
class AtomicCounter {
  public:
#ifdef _WIN32
    int32_t Increment();
    int32_t Add(int32_t amount);
    // Stores a new value and returns the old one.
    int32_t Exchange(int32_t value);
    int32_t Get() const;

  private:
    mutable volatile long value_ = 0;
#else
    int32_t Increment() {
        return value_.fetch_add(1) + 1;
    }
    int32_t Add(int32_t amount) {
        return value_.fetch_add(amount) + amount;
    }
    // Stores a new value and returns the old one.
    int32_t Exchange(int32_t value) {
        return value_.exchange(value);
    }
    int32_t Get() const {
        return value_.load();
    }

  private:
    std::atomic<int32_t> value_{0};
#endif
};

}  // namespace platform
