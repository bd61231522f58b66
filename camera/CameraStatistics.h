#pragma once

#include "platform/AtomicCounter.h"

// Acquisition counters of a camera, changed only by interlocked operations.
// Thread-safe.
struct CameraStatistics {
    platform::AtomicCounter frames;
    platform::AtomicCounter dropped;
    platform::AtomicCounter grabInProgress;
    platform::AtomicCounter packetsLost;
};
