#pragma once

#include <atomic>
#include <boost/thread/locks.hpp>
#include <boost/thread/shared_mutex.hpp>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "base/DriverLock.h"
#include "camera/CameraLifecycle.h"
#include "camera/CameraStatistics.h"
#include "image/AdapterRegistry.h"
#include "image/CameraState.h"
#include "image/ImageList.h"
#include "platform/AutoResetEvent.h"
#include "vavezaz/CvlDriver.h"

class DriverContext;

namespace icon {
class EthernetCamera;
class FrameGrabber;
class FGEthernetParameters;
class IconBuffer;
}  // namespace icon

// One physical camera known to the camera list, opened on one or more host
// ports. The first open connects, configures and starts it; the last close
// stops and releases it. Buffers arrive on the frame grabber's thread.
//
// Host threads may open, close, grab, read and set properties at once: opens
// and closes of one camera run one after another, and a look-up of a port's
// adapter keeps it alive for as long as it is used. A thread inside one of
// the camera's completion callbacks must not wait for an open or close of any
// camera (it may be what that open or close waits for): there it fails when
// another is under way.
// Thread-safe, within the limits below.
class Camera {
  public:
    Camera(const char* name, const std::string& ipAddress);
    ~Camera();

    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    bool Open(int32_t port, int32_t* imageSize, const std::string& imageName);
    // Port -1 closes every port. From its start on, no buffer is handed to
    // the camera's adapters; it waits at most for the hand-off in progress.
    void Close(int32_t port);
    // True while the port has an adapter.
    bool IsOpenOn(int32_t port);
    // From now on no buffer reaches the adapters: the camera is about to go.
    void RefuseBuffers();
    // The user data in the camera's flash; only while its device exists.
    void ReadUserData(std::string& data);

    // Acquisition.
    bool Grab();
    void SetContinuousGrab(bool mode);
    void PrintStats(int32_t port);
    void ResetStats(int32_t port);

    // Host access to a port's image and properties.
    RowAccess GetRow(int32_t port, int32_t row);
    // The same without a lock, for a reader inside the RowReadGate: null data
    // when the port has no adapter here or its row needs the locked path.
    RowAccess GetRowInsideGate(int32_t port, int32_t row) const;
    void SetCompleteCallback(int32_t port, CompleteCallback callback);
    bool GetProperty(int32_t port, const std::string& property, int32_t* value);
    bool SetProperty(int32_t port, const std::string& property, int32_t value);
    bool GetRange(int32_t port, const std::string& property, int32_t* minimum, int32_t* maximum);
    // Shows the configuration dialog; the camera list is let go while it is
    // open (see CameraList::UserWait), so the camera may be gone when the
    // user answers, and then nothing is saved.
    bool Configure(HWND parent, const std::string& imageName);
    // Ends the configuration dialog open in the process, if any, as Cancel
    // would; true when one was open.
    static bool EndOpenDialog();

    const std::string& GetName() const { return state_.name; }
    bool HasName(const std::string& hostName) const;

  private:
    // The grabber's path: its callback delivers, the last reference to a
    // lent buffer gives it back.
    friend void GrabberCallback(const icon::IconBuffer*, icon::FrameGrabber*, void*);
    friend class IconBufferReleaser;
    // The grabber callback's work for one delivered buffer.
    void OnDelivery(const icon::IconBuffer& buffer);
    // Adds the lost-packet counts of a delivered buffer's scans.
    void CountLostPackets(const icon::IconBuffer& buffer);
    void ProcessBuffer(const icon::IconBuffer* buffer);
    void DistributeBuffer(const boost::shared_ptr<const icon::IconBuffer>& buffer);
    void ReleaseBuffer(const icon::IconBuffer* buffer);
    void ClearGrabPending();
    // Lets the device and grabber go and leaves the camera Closed.
    void CleanupOnClose();

    // True on the thread that is handing this camera's buffer to its adapters,
    // and on the processing threads of its 3D adapters: the threads that run
    // the host's completion callbacks for its ports.
    bool InsideHandOff() const;
    // Locks opens and closes of this camera, which log as they go; a thread
    // inside a completion callback or the host's debug procedure only tries.
    std::unique_lock<std::mutex> LockOpenClose();
    // The configuration dialog's working copies and what becomes of them.
    CameraParameters CameraWorkingCopy();
    CameraParameters ImageWorkingCopy(const std::string& title, const std::string& imageName);
    void RestartIfNeeded(HWND parent, const std::string& title, const CameraParameters& cameraSet);
    void SetUpFirstPort(int32_t port);
    void AddAdapter(int32_t port, const std::string& imageName, int32_t* imageSize);
    void RemoveAdapter(int32_t port);
    // Takes the port's adapter (every adapter for port -1) out of the map.
    bool TakeAdapters(int32_t port, AdapterRegistry::Map* closing);
    CameraParameters CopyParameters();
    void ShutDown(int32_t port);
    void StopIfMeasuring(int status);
    void CreateIconCamera();
    void CreateIconFrameGrabber();
    void ConnectCamera();
    void SetupFrameGrabber();
    void LoadCameraConfiguration();
    void StartAcquisition();
    icon::FGEthernetParameters& EthernetParameters();
    std::string ReadDataFormatText();

    // Serialises opens and closes of this camera: the lifecycle's moves,
    // the device and grabber, and the adapters' going in and out.
    std::mutex openCloseLock_;
    CameraLifecycle lifecycle_;
    CameraState state_;
    // Guards state_.parameters, which host threads read and write through
    // properties while another opens the camera.
    DriverMutex parametersLock_;
    DriverContext* context_;
    std::atomic<bool> continuousMode_{false};
    std::atomic<bool> grabPending_{false};
    // Makes a grab's test-and-set of grabPending_ one step.
    DriverMutex grabLock_;
    CameraStatistics statistics_;
    std::string ipAddress_;
    std::unique_ptr<icon::EthernetCamera> iconCamera_;
    std::unique_ptr<icon::FrameGrabber> frameGrabber_;
    // The frame grabber's user pointer (CallbackGate); null while closed.
    void* callbackToken_ = nullptr;
    platform::AutoResetEvent bufferReleased_;
    ImageList imageList_;
    AdapterRegistry registry_;
};
