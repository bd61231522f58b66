#include "tools/cvl-host/FrameSlot.h"

#include <utility>

void FrameSlot::Publish() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(spare_, newest_);
    if (fresh_) {
        ++skipped_;
    }
    fresh_ = true;
    ++published_;
}

bool FrameSlot::Take(ViewerImage& image) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!fresh_) {
        return false;
    }
    std::swap(image, newest_);
    fresh_ = false;
    return true;
}

long FrameSlot::Published() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return published_;
}

long FrameSlot::Skipped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return skipped_;
}
