#include "base/DriverLock.h"

namespace {

thread_local int locksHeld = 0;

}  // namespace

int DriverLocksHeld() {
    return locksHeld;
}

namespace driver_lock_detail {

void Taken() {
    ++locksHeld;
}

void Released() {
    --locksHeld;
}

}  // namespace driver_lock_detail
