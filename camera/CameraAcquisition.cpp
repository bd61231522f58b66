// The grab handshake and the hand-off of delivered buffers to the adapters.

#include <boost/format.hpp>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "camera/CallbackGate.h"
#include "camera/Camera.h"
#include "camera/GrabberCallback.h"
#include "camera/IconBufferReleaser.h"
#include "icon/IconBuffer.h"
#include "image/HandOffMark.h"

// The user pointer is the camera's gate token: a callback of a grabber whose
// camera has let it go finds the gate closed and leaves the buffer alone.
void GrabberCallback(const icon::IconBuffer* buffer, icon::FrameGrabber*, void* token) {
    if (token == nullptr) {
        WriteLog(DriverContext::Instance(), 1,
                 "ERROR: GrabberCallback does not have pointer to the Camera");
        return;
    }
    CallbackGate::Passage passage(token);
    if (Camera* camera = passage.GetCamera()) {
        camera->OnDelivery(*buffer);
    }
}

// The whole callback counts as the camera's hand-off: the host's debug
// procedure, called while lost packets are logged, may call back into the
// driver as a completion callback may.
void Camera::OnDelivery(const icon::IconBuffer& buffer) {
    HandOffMark mark(state_);
    CountLostPackets(buffer);
    ProcessBuffer(&buffer);
}

void Camera::CountLostPackets(const icon::IconBuffer& buffer) {
    for (int scan = 0; scan < buffer.getHeight(); ++scan) {
        const int32_t lost = buffer.getLostPackets(scan);
        if (lost > 0) {
            statistics_.packetsLost.Add(lost);
            WriteLog(context_, 2, "WARNING: Camera(%s): %d packets lost", state_.name.c_str(),
                     lost);
        }
    }
}

bool Camera::Grab() {
    WriteLog(context_, 2, "Camera::Grab: entering \n");
    bool alreadyPending = false;
    {
        std::lock_guard<DriverMutex> lock(grabLock_);
        alreadyPending = grabPending_;
        if (alreadyPending) {
            statistics_.grabInProgress.Increment();
        } else {
            grabPending_ = true;
        }
    }
    if (alreadyPending) {
        WriteLog(context_, 2,
                 "Camera::Grab: WARNING: grab called while previous grab not finished yet\n");
    } else {
        WriteLog(context_, 2, "Camera::Grab: leaving \n");
    }
    return true;
}

void Camera::SetContinuousGrab(bool mode) {
    WriteLog(context_, 2, "Camera::SetContinuousGrab: entering, mode=%s\n", mode ? "on" : "off");
    if (mode == continuousMode_) {
        WriteLog(context_, 3,
                 "Camera::SetContinuousGrab has no effect -- the same mode is already active\n");
        return;
    }
    continuousMode_ = mode;
    grabPending_ = mode;
    WriteLog(context_, 2, "Camera::SetContinuousGrab: leaving\n");
}

void Camera::ClearGrabPending() {
    std::lock_guard<DriverMutex> lock(grabLock_);
    grabPending_ = false;
}

void Camera::ProcessBuffer(const icon::IconBuffer* buffer) {
    statistics_.frames.Increment();
    // During a close a pending grab stays pending, for the ports left open.
    if (!grabPending_ || !lifecycle_.AcceptsBuffers()) {
        statistics_.dropped.Increment();
        return;
    }
    if (!continuousMode_) {
        ClearGrabPending();
        WriteLog(context_, 2, "Camera::ProcessBuffer: Grab finished\n");
    }
    bool handedOff = true;
    try {
        // Whatever happens to the hand-off, the reference's deleter runs once
        // for this buffer: on the last drop, or at once if making it fails.
        DistributeBuffer(
            boost::shared_ptr<const icon::IconBuffer>(buffer, IconBufferReleaser(this)));
    } catch (const std::exception& e) {
        handedOff = false;
        WriteLog(context_, 1, "Camera::ProcessEvent: ERROR: Failed to retrieve image: %s",
                 e.what());
    } catch (...) {
        handedOff = false;
        WriteLog(context_, 1, "Camera::ProcessEvent: ERROR: Failed to retrieve image: %s",
                 "unknown exception");
    }
    // Waiting also after a failed hand-off pairs every release signal with the
    // wait of its own buffer: an adapter that took a reference before the
    // failure may still be reading, and no signal is left over for the next.
    bufferReleased_.Wait();
    if (handedOff) {
        WriteLog(context_, 3, "Camera::WaitForBufferRelease: buffer retrieved");
        WriteLog(context_, 3, "Camera::ProcessBuffer: buffer processed\n");
    }
}

bool Camera::InsideHandOff() const {
    return HandOffMark::IsHandingOff(state_);
}

void Camera::DistributeBuffer(const boost::shared_ptr<const icon::IconBuffer>& buffer) {
    HandOffMark mark(state_);
    registry_.HandOff(buffer);
}

void Camera::ReleaseBuffer(const icon::IconBuffer* buffer) {
    WriteLog(context_, 3, "Camera::ReleaseBuffer: %p", static_cast<const void*>(buffer));
    bufferReleased_.Set();
}

// The adapter's counters are read while the port's adapter is held; the text
// is logged after it is let go, as the host's debug procedure may close the
// port.
void Camera::PrintStats(int32_t port) {
    int32_t overtrigs = 0;
    int32_t completed = 0;
    std::string imageFacts;
    {
        AdapterRegistry::Hold adapter = registry_.FindByPort(port);
        overtrigs = adapter->OvertrigCount().Get();
        completed = adapter->CompletedCount().Get();
        imageFacts = adapter->ImageFacts();
    }
    const std::string text =
        (boost::format("Camera statistics\nFrames:\t\t%d\nDropped:\t\t%d\nGrabInProgress:\t%d\n"
                       "PacketsLost:\t\t%d\nOvertrigs:\t\t%d\nCorvaneCB:\t\t%d\n") %
         statistics_.frames.Get() % statistics_.dropped.Get() % statistics_.grabInProgress.Get() %
         statistics_.packetsLost.Get() % overtrigs % completed)
            .str() +
        imageFacts;
    WriteLog(context_, 1, "%s", text.c_str());
}

void Camera::ResetStats(int32_t port) {
    statistics_.frames.Exchange(0);
    statistics_.dropped.Exchange(0);
    statistics_.grabInProgress.Exchange(0);
    statistics_.packetsLost.Exchange(0);
    AdapterRegistry::Hold adapter = registry_.FindByPort(port);
    adapter->CompletedCount().Exchange(0);
    adapter->OvertrigCount().Exchange(0);
}
