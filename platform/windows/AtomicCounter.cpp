#include "platform/AtomicCounter.h"

#include <windows.h>

namespace platform {

int32_t AtomicCounter::Increment() {
    return ::InterlockedIncrement(&value_);
}

int32_t AtomicCounter::Add(int32_t amount) {
    return ::InterlockedExchangeAdd(&value_, amount) + amount;
}

int32_t AtomicCounter::Exchange(int32_t value) {
    return ::InterlockedExchange(&value_, value);
}

int32_t AtomicCounter::Get() const {
    return ::InterlockedCompareExchange(&value_, 0, 0);
}

}  // namespace platform
