#pragma once

#include "base/Log.h"

struct CameraState;

// Marks the thread that creates it, while it lives, as handing a camera's
// buffers to its image adapters: the thread on which adapters call the host's
// completion callback. Today that is the frame grabber's callback thread
// (Camera::DistributeBuffer); a thread that builds images apart from it marks
// itself the same way.
//
// A host may call back into the driver from its completion callback. Closing
// that camera or destroying the camera list there would wait for, or delete,
// the hand-off still on this thread's stack; those operations ask the
// queries below and refuse instead. A close may wait for this thread, so its
// lines are logged without waiting for the host's debug procedure. Bound to
// one thread; the queries answer for the calling thread only.
class HandOffMark {
  public:
    explicit HandOffMark(const CameraState& camera);
    ~HandOffMark();

    HandOffMark(const HandOffMark&) = delete;
    HandOffMark& operator=(const HandOffMark&) = delete;

    // True on a thread that is handing `camera`'s buffers to its adapters.
    static bool IsHandingOff(const CameraState& camera);
    // True on a thread that is handing any camera's buffers to adapters.
    static bool IsHandingOffAny();

  private:
    const CameraState* previous_;
    LogWithoutWaiting logging_;
};
