#pragma once

namespace icon {
class FrameGrabber;
class IconBuffer;
}  // namespace icon

// Registered with a camera's frame grabber, with the camera as user pointer;
// runs on the grabber's thread for every delivered buffer.
void GrabberCallback(const icon::IconBuffer* buffer, icon::FrameGrabber* grabber, void* camera);
