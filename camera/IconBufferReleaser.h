#pragma once

#include "camera/Camera.h"

// Deleter of the shared reference through which a camera lends a delivered
// buffer to its adapters: the buffer belongs to the frame grabber, so the last
// holder tells the camera instead of freeing it.
class IconBufferReleaser {
  public:
    explicit IconBufferReleaser(Camera* camera) : camera_(camera) {}

    void operator()(const icon::IconBuffer* buffer) const { camera_->ReleaseBuffer(buffer); }

  private:
    Camera* camera_;
};
