#include "camera/CameraLifecycle.h"

#include <stdexcept>
#include <string>

void CameraLifecycle::MoveTo(Phase next) {
    const Phase current = Current();
    if (!IsLegal(current, next)) {
        throw std::logic_error(std::string("Camera lifecycle: no move from ") + Name(current) +
                               " to " + Name(next));
    }
    phase_ = next;
}

void CameraLifecycle::RefuseBuffers() {
    if (!refusing_.exchange(true)) {
        ++stops_;
    }
}

bool CameraLifecycle::IsLegal(Phase from, Phase to) {
    switch (from) {
        case Phase::Closed:
            return to == Phase::Opening;
        case Phase::Opening:
            return to == Phase::Open || to == Phase::Closed;
        case Phase::Open:
            return to == Phase::Closing;
        case Phase::Closing:
            return to == Phase::Closed;
    }
    return false;
}

const char* CameraLifecycle::Name(Phase phase) {
    switch (phase) {
        case Phase::Closed:
            return "closed";
        case Phase::Opening:
            return "opening";
        case Phase::Open:
            return "open";
        case Phase::Closing:
            return "closing";
    }
    return "unknown";
}

CameraLifecycle::CloseUnderWay::CloseUnderWay(CameraLifecycle& lifecycle) : lifecycle_(lifecycle) {
    ++lifecycle_.stops_;
}

CameraLifecycle::CloseUnderWay::~CloseUnderWay() {
    --lifecycle_.stops_;
}
