#include "image/HandOffMark.h"

namespace {
// The camera whose buffer this thread is handing to adapters, if any.
thread_local const CameraState* handingOff = nullptr;
}  // namespace

HandOffMark::HandOffMark(const CameraState& camera) : previous_(handingOff) {
    handingOff = &camera;
}

HandOffMark::~HandOffMark() {
    handingOff = previous_;
}

bool HandOffMark::IsHandingOff(const CameraState& camera) {
    return handingOff == &camera;
}

bool HandOffMark::IsHandingOffAny() {
    return handingOff != nullptr;
}
