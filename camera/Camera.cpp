#include "camera/Camera.h"

#include <boost/make_shared.hpp>
#include <stdexcept>

#include "base/DriverContext.h"
#include "base/IconResult.h"
#include "base/Log.h"
#include "base/VaveZAZError.h"
#include "camera/CallbackGate.h"
#include "camera/GrabberCallback.h"
#include "camera/HostNames.h"
#include "config/CameraDefaults.h"
#include "config/Param.h"
#include "icon/EthernetCamera.h"
#include "icon/FrameGrabber.h"
#include "icon/FrameGrabberParameters.h"
#include "image/HandOffMark.h"

namespace {

constexpr int kProtocolTimeoutMs = 7000;
constexpr int kRecoveryIntervalMs = 10;
constexpr int kCallbackMode = 1;
constexpr int kAutomaticRelease = 0;

std::string CheckedName(const char* name) {
    if (name == nullptr) {
        throw std::runtime_error("Camera::Camera: Name can not be null");
    }
    return name;
}

// The device states the camera reports: idle, or measuring (plain, with a
// trigger pending, or overtriggered). Any other is an odd state, left by a
// reset.
constexpr int kIdle = icon::Camera::STATUS_IDLE;
constexpr int kMeasuring = icon::Camera::STATUS_MEASURING;
constexpr int kMeasuringOvertriggered = 4;

bool IsMeasuring(int status) {
    return status >= kMeasuring && status <= kMeasuringOvertriggered;
}

}  // namespace

Camera::Camera(const char* name, const std::string& ipAddress)
    : state_(CheckedName(name)),
      context_(DriverContext::Instance()),
      ipAddress_(ipAddress),
      imageList_(state_) {
    state_.readUserData = [this](std::string& data) { ReadUserData(data); };
}

// A destructor must not throw: a camera that cannot close itself is logged
// and its resources go with it.
Camera::~Camera() {
    WriteLog(context_, 2, "Camera::~Camera: camera %s\n", state_.name.c_str());
    try {
        RefuseBuffers();
        if (lifecycle_.IsOpen()) {
            Close(-1);
        }
        CallbackGate::Close(callbackToken_);
    } catch (const std::exception& e) {
        WriteLog(context_, 1, "Camera::~Camera: ERROR: camera %s not closed: %s\n",
                 state_.name.c_str(), e.what());
    } catch (...) {
        WriteLog(context_, 1, "Camera::~Camera: ERROR: camera %s not closed\n",
                 state_.name.c_str());
    }
}

bool Camera::HasName(const std::string& hostName) const {
    return NamesEqual(StripImageSuffix(hostName), state_.name);
}

bool Camera::IsOpenOn(int32_t port) {
    return registry_.Contains(port);
}

void Camera::RefuseBuffers() {
    lifecycle_.RefuseBuffers();
}

std::unique_lock<std::mutex> Camera::LockOpenClose() {
    if (!HandOffMark::IsHandingOffAny() && !InsideDebugProcedure()) {
        return std::unique_lock<std::mutex>(openCloseLock_);
    }
    std::unique_lock<std::mutex> lock(openCloseLock_, std::try_to_lock);
    if (!lock.owns_lock()) {
        throw std::runtime_error("Camera " + state_.name +
                                 " is being opened or closed; from inside a completion callback "
                                 "or the debug procedure the driver does not wait for it");
    }
    return lock;
}

bool Camera::Open(int32_t port, int32_t* imageSize, const std::string& imageName) {
    imageSize[0] = 0;
    imageSize[1] = 0;
    WriteLog(context_, 2, "Camera::Open: entering port=%d\n", port);
    WriteLog(context_, 1, "Opening camera %s on port %d\n", state_.name.c_str(), port);
    if (InsideHandOff()) {
        WriteLog(context_, 1,
                 "Camera::Open: ERROR: port %d cannot be opened from inside a completion callback "
                 "of camera %s\n",
                 port, state_.name.c_str());
        return false;
    }
    std::unique_lock<std::mutex> serial = LockOpenClose();
    if (IsOpenOn(port)) {
        WriteLog(context_, 1, "Camera::Open: ERROR:  %s is already open on port %d\n",
                 state_.name.c_str(), port);
        return false;
    }
    const bool firstPort = !lifecycle_.IsOpen();
    try {
        if (firstPort) {
            lifecycle_.MoveTo(CameraLifecycle::Phase::Opening);
            SetUpFirstPort(port);
        }
        AddAdapter(port, imageName, imageSize);
        if (firstPort) {
            SetContinuousGrab(false);
            StartAcquisition();
            lifecycle_.MoveTo(CameraLifecycle::Phase::Open);
        }
        WriteLog(context_, 2, "Camera::Open: leaving, port=%d\n", port);
        return true;
    } catch (const std::exception& e) {
        WriteLog(context_, 1, "Camera::Open: Error on port %d: %s\n", port, e.what());
    } catch (...) {
        WriteLog(context_, 1, "Camera::Open: unknown EXCEPTION, port %d\n", port);
    }
    // A port that failed leaves nothing behind, so it can be opened again, and
    // reports no image. A further port's failure does not stop the ports
    // already streaming.
    imageSize[0] = 0;
    imageSize[1] = 0;
    RemoveAdapter(port);
    if (firstPort) {
        CleanupOnClose();
    }
    return false;
}

CameraParameters Camera::CopyParameters() {
    std::lock_guard<DriverMutex> lock(parametersLock_);
    return state_.parameters;
}

// The set is loaded and checked as a copy, which may log, and then put in
// place: values set through properties meanwhile give way to the file's.
void Camera::SetUpFirstPort(int32_t port) {
    CameraParameters parameters = CopyParameters();
    CreateDefaultParameters(parameters);
    parameters.Load();
    context_->logLevel = parameters.GetParameter<int>("LogLevel");
    context_->logIntoFile = dynamic_cast<Param<bool>&>(parameters.GetParam("LogIntoFile")).value;
    context_->debugViewOutput = parameters.GetParameter<int>("DebugViewOutput");
    std::string message;
    const bool valid = parameters.Validate(message);
    {
        std::lock_guard<DriverMutex> lock(parametersLock_);
        state_.parameters = parameters;
    }
    if (!valid) {
        WriteLog(context_, 2, "Camera::Open: WARNING: Configuration not valid: %s, port: %d\n",
                 message.c_str(), port);
    }
    CreateIconCamera();
    CreateIconFrameGrabber();
    ConnectCamera();
    SetupFrameGrabber();
    WriteLog(context_, 3, "Camera::Open: configuration loaded from file on port %d\n", port);
    LoadCameraConfiguration();
    WriteLog(context_, 3, "Camera::Open: camera settings set on port %d\n", port);
    state_.dataFormat = boost::make_shared<icon::DataFormat>(ReadDataFormatText());
    imageList_.BuildImageList();
}

// The adapter is built before it goes into the map: building it logs. Opens
// of the camera run one at a time, so no other adapter takes the port
// meanwhile. An adapter replaced here is destroyed after the map is let go.
void Camera::AddAdapter(int32_t port, const std::string& imageName, int32_t* imageSize) {
    std::unique_ptr<ImageAdapter> adapter = imageList_.CreateImageAdapter(port, imageName);
    imageSize[0] = adapter->GetWidth();
    imageSize[1] = adapter->GetHeight();
    registry_.Insert(port, std::move(adapter));
}

void Camera::RemoveAdapter(int32_t port) {
    registry_.Take(port);
}

void Camera::Close(int32_t port) {
    WriteLog(context_, 2, "Camera::Close: entering\n");
    if (InsideHandOff()) {
        // The hand-off holds the adapter map and the adapter being closed is
        // still on the stack: closing here could only deadlock.
        throw std::runtime_error(
            "Camera::Close: a port cannot be closed from inside its camera's completion callback");
    }
    // Hand-offs stop before the lock is waited for: in continuous mode each
    // new one would otherwise compete with this close for the adapter map.
    CameraLifecycle::CloseUnderWay closeUnderWay(lifecycle_);
    std::unique_lock<std::mutex> serial = LockOpenClose();
    // The adapters taken out of the map are destroyed after the map lock is
    // let go (declared first, they go last). A 3D adapter joins its
    // processing thread, whose host callback may be reading rows or sizes
    // through the map: destroying it under the exclusive lock would wait for
    // a thread that waits for the lock.
    AdapterRegistry::Map closing;
    if (!lifecycle_.IsOpen()) {
        WriteLog(context_, 1, "Camera::Close: WARNING: called on already closed camera\n");
        return;
    }
    registry_.FinishAnnouncing(port);
    if (!TakeAdapters(port, &closing)) {
        WriteLog(context_, 2, "Camera::Close: not all image handlers closed, port = %d\n", port);
        return;
    }
    // Buffers queued in 3D adapters go back to the camera here, so the
    // grabber's thread is free again before the grabber is stopped.
    closing.clear();
    lifecycle_.MoveTo(CameraLifecycle::Phase::Closing);
    // The map lock is let go before the grabber is stopped: a hand-off waiting
    // for it must be able to finish (with no adapter left, at once), or
    // stopping the grabber would wait for a callback that waits for us.
    ShutDown(port);
    CleanupOnClose();
    WriteLog(context_, 2, "Camera::Close: leaving on port %d\n", port);
}

// True when no adapter is left, and the camera is to be stopped.
// A hand-off that starts after the last adapter went finds none; the close
// under way drops its buffer before a grab still pending could count.
bool Camera::TakeAdapters(int32_t port, AdapterRegistry::Map* closing) {
    if (port == -1) {
        *closing = registry_.TakeAll();
    } else if (std::unique_ptr<ImageAdapter> taken = registry_.Take(port)) {
        closing->emplace(port, std::move(taken));
    }
    if (registry_.Count() != 0) {
        return false;
    }
    ClearGrabPending();
    return true;
}

void Camera::ShutDown(int32_t port) {
    try {
        // Taken as measuring when the camera cannot say, so it is stopped.
        int status = kMeasuringOvertriggered;
        IgnoreIconResult(iconCamera_->checkCamStatus(status), "Check camera status");
        if (IsMeasuring(status)) {
            StopIfMeasuring(status);
            WriteLog(context_, 2, "Camera::Close: Camera on port %d stopped\n", port);
        }
        IgnoreIconResult(iconCamera_->close(), "Close camera");
        WriteLog(context_, 2, "Camera::Close: Camera on port %d closed\n", port);
        if (frameGrabber_->isGrabbing()) {
            IgnoreIconResult(frameGrabber_->stopGrab(), "Stop frame grabber");
            WriteLog(context_, 2, "Camera::Close: Frame grabber on port %d stopped\n", port);
        }
        if (frameGrabber_->isConnected()) {
            IgnoreIconResult(frameGrabber_->disconnect(), "Disconnect frame grabber");
            WriteLog(context_, 2, "Camera::Close: Frame grabber on port %d disconnected\n", port);
        }
    } catch (const std::exception& e) {
        WriteLog(context_, 1, "Camera::Close: ERROR on port %d: %s", port, e.what());
    }
}

void Camera::StopIfMeasuring(int status) {
    if (!IsMeasuring(status)) {
        return;
    }
    const int result = iconCamera_->stop();
    if (result != icon::Camera::E_ALL_OK && result != icon::Camera::E_MEASURE_NOT_RUNNING) {
        IgnoreIconResult(result, "Stop camera");
    }
}

// The gate is closed first: a callback still inside the camera (its grabber's
// stop may have timed out) is waited for, and a late one is turned away, so
// nothing below is freed under a running callback.
void Camera::CleanupOnClose() {
    WriteLog(context_, 2, "Camera::CleanupOnClose: entering\n");
    CallbackGate::Close(callbackToken_);
    callbackToken_ = nullptr;
    try {
        iconCamera_.reset();
        frameGrabber_.reset();
    } catch (...) {
        WriteLog(context_, 1, "Camera::CleanupOnClose: WARNING: exception point1 caught\n");
    }
    if (lifecycle_.HasDevice()) {
        lifecycle_.MoveTo(CameraLifecycle::Phase::Closed);
    }
    WriteLog(context_, 2, "Camera::CleanupOnClose: leaving\n");
}

void Camera::ReadUserData(std::string& data) {
    if (!lifecycle_.HasDevice()) {
        throw std::runtime_error("Camera::ReadUserData: camera is not open");
    }
    CheckIconResult(iconCamera_->readUserDataFromFlash(data), "Read user data from flash");
}

void Camera::CreateIconCamera() {
    std::unique_ptr<icon::Camera> created(icon::createCamera("EthernetCamera", state_.name));
    if (!created) {
        throw std::runtime_error("icon::createCamera: failed to create camera");
    }
    const std::string type = created->getCameraType();
    if (type != icon::EthernetCamera::cameraType) {
        throw std::runtime_error("icon::createCamera: created camera of wrong type: " + type);
    }
    auto* ethernet = dynamic_cast<icon::EthernetCamera*>(created.get());
    if (ethernet == nullptr) {
        throw std::runtime_error("Failed to cast to icon::EthernetCamera");
    }
    iconCamera_.reset(ethernet);
    static_cast<void>(created.release());
}

void Camera::CreateIconFrameGrabber() {
    frameGrabber_.reset(icon::createFrameGrabber("FGEthernet", "MyGrabber"));
    if (!frameGrabber_) {
        throw std::runtime_error("icon::createFrameGrabber: Failed to create frame grabber");
    }
}

icon::FGEthernetParameters& Camera::EthernetParameters() {
    auto* parameters = dynamic_cast<icon::FGEthernetParameters*>(frameGrabber_->getParameters());
    if (parameters == nullptr) {
        throw std::runtime_error("Failed to get ethernet parameters");
    }
    return *parameters;
}

void Camera::ConnectCamera() {
    const int grabberPort = EthernetParameters().getFrameGrabberPort();
    const char* name = state_.name.c_str();
    WriteLog(context_, 1, "Camera(%s) ip=%s:%d\n", name, ipAddress_.c_str(), grabberPort);
    CheckIconResult(iconCamera_->setComParameters(ipAddress_, grabberPort, -1, 0),
                    "Set communication paramameters");
    CheckIconResult(iconCamera_->setProtocolTimeout(kProtocolTimeoutMs), "Set protocol timeout");
    CheckIconResult(iconCamera_->init(), "Init camera");
    int status = kIdle;
    CheckIconResult(iconCamera_->checkCamStatus(status), "Check camera status");
    WriteLog(context_, 2, "Camera(%s) status %d", name, status);
    if (IsMeasuring(status)) {
        WriteLog(context_, 2, "Camera(%s) was running, sending stop", name);
        StopIfMeasuring(status);
    } else if (status != kIdle) {
        WriteLog(context_, 2, "Camera(%s) is in an odd state (status %d), sending reboot", name,
                 status);
        CheckIconResult(iconCamera_->reset(), "Reset camera");
    }
}

void Camera::SetupFrameGrabber() {
    icon::FGEthernetParameters& parameters = EthernetParameters();
    parameters.setCameraIP(ipAddress_);
    int dataPort = 0;
    CheckIconResult(iconCamera_->getCameraDataPort(dataPort), "Get camera data port");
    parameters.setCameraPort(dataPort);
    WriteLog(context_, 2, "Camera(%s) FramgeGrabber setCameraIP=%s, setCameraPort=%d\n",
             state_.name.c_str(), ipAddress_.c_str(), dataPort);
    {
        std::lock_guard<DriverMutex> lock(parametersLock_);
        parameters.setBufferSize(state_.parameters.GetParameter<int>("BufferSize"));
        state_.scansPerBuffer = state_.parameters.GetParameter<int>("NumberOfScans");
    }
    parameters.setNoScans(state_.scansPerBuffer);
    parameters.setRecoveryInterval(kRecoveryIntervalMs);
    parameters.setMode(kCallbackMode);
    parameters.setRelease(kAutomaticRelease);
    parameters.setCallback(&GrabberCallback);
    CallbackGate::Close(callbackToken_);
    callbackToken_ = CallbackGate::Open(this);
    parameters.setUserData(callbackToken_);
}

void Camera::LoadCameraConfiguration() {
    std::string file;
    std::string type;
    {
        std::lock_guard<DriverMutex> lock(parametersLock_);
        file = state_.parameters.GetParameter<std::string>("ConfigurationFile");
        type = state_.parameters.GetParameter<std::string>("ConfigurationType");
    }
    const char* name = state_.name.c_str();
    if (!file.empty()) {
        const std::string path = context_->ResolvePath(file);
        try {
            CheckIconResult(iconCamera_->fileLoadParameters(path), "Load parameters");
        } catch (const VaveZAZError& e) {
            WriteLog(context_, 1, "ERROR: Camera(%s) failed to load configuration file %s: %s",
                     name, path.c_str(), e.what());
            WriteLog(context_, 1, "WARNING: Camera(%s) will use default configuration", name);
        }
    } else {
        WriteLog(context_, 1, "WARNING: Camera(%s) configuration file not specified, using default",
                 name);
    }
    CheckIconResult(iconCamera_->setActiveConfiguration(type), "Set Image configuration");
}

std::string Camera::ReadDataFormatText() {
    std::string text;
    CheckIconResult(iconCamera_->getDataFormat("", text), "Get data format");
    return text;
}

void Camera::StartAcquisition() {
    icon::FGEthernetParameters& parameters = EthernetParameters();
    parameters.setDataFormat(ReadDataFormatText());
    CheckIconResult(frameGrabber_->connect(), "Frame grabber connect");
    CheckIconResult(frameGrabber_->startGrab(), "Frame grabber start");
    CheckIconResult(iconCamera_->start(), "Camera start");
}
