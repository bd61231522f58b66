#pragma once

#include "camera/Camera.h"

// Deleter of the shared reference through which a camera lends a delivered
// buffer to its adapters: the buffer belongs to the frame grabber, so the last
// holder tells the camera instead of freeing it.
// Thread-safe: the last holder, on whichever thread, tells the camera.
class IconBufferReleaser {
  public:
    explicit IconBufferReleaser(Camera* camera) : camera_(camera) {}

    void operator()(const icon::IconBuffer* buffer) const { camera_->ReleaseBuffer(buffer); }

  private:
    Camera* camera_;
};
