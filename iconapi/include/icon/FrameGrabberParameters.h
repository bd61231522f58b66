#pragma once

#include <string>

namespace icon {

class IconBuffer;
class FrameGrabber;

// Called on the frame grabber's own thread with one buffer at a time. The
// buffer belongs to the grabber and stays valid until the callback returns.
typedef void (*CallbackFunction)(const IconBuffer* buffer, FrameGrabber* grabber, void* userData);

// How a frame grabber receives and delivers scans. Read when the grabber
// connects; changes after that take effect at the next connect.
class FrameGrabberParameters {
  public:
    // Delivery modes: buffers are either fetched by the caller (polling, not
    // supported) or handed to the callback on the grabber's thread.
    enum Mode { MODE_POLLING = 0, MODE_CALLBACK = 1 };

    virtual ~FrameGrabberParameters();

    // Size of the grabber's buffer pool in megabytes.
    void setBufferSize(int megabytes) { bufferSize_ = megabytes; }
    // Scans per delivered buffer.
    void setNoScans(int scans) { noScans_ = scans; }
    void setMode(int mode) { mode_ = mode; }
    void setCallback(CallbackFunction callback) { callback_ = callback; }
    // The user pointer handed to every callback.
    void setUserData(void* userData) { userData_ = userData; }
    // The data-format text of the scans the camera sends.
    void setDataFormat(const std::string& text) { dataFormat_ = text; }

    int getBufferSize() const { return bufferSize_; }
    int getNoScans() const { return noScans_; }
    int getMode() const { return mode_; }
    CallbackFunction getCallback() const { return callback_; }
    void* getUserData() const { return userData_; }
    const std::string& getDataFormat() const { return dataFormat_; }

  private:
    int bufferSize_ = 20;
    int noScans_ = 512;
    int mode_ = MODE_CALLBACK;
    CallbackFunction callback_ = nullptr;
    void* userData_ = nullptr;
    std::string dataFormat_;
};

// Parameters of a grabber that receives the scans over Ethernet.
class FGEthernetParameters : public FrameGrabberParameters {
  public:
    // Release modes: a buffer goes back to the pool when the callback returns
    // (automatic), or when the caller releases it (manual, not supported).
    enum Release { RELEASE_AUTOMATIC = 0, RELEASE_MANUAL = 1 };

    explicit FGEthernetParameters(int frameGrabberPort) : frameGrabberPort_(frameGrabberPort) {}

    void setCameraIP(const std::string& ip) { cameraIp_ = ip; }
    // The camera's data port (EthernetCamera::getCameraDataPort).
    void setCameraPort(int port) { cameraPort_ = port; }
    // The host port on which this grabber receives the scans.
    int getFrameGrabberPort() const { return frameGrabberPort_; }
    // Milliseconds the grabber waits before it asks again for packets that
    // did not arrive.
    void setRecoveryInterval(int milliseconds) { recoveryInterval_ = milliseconds; }
    void setRelease(int release) { release_ = release; }

    const std::string& getCameraIP() const { return cameraIp_; }
    int getCameraPort() const { return cameraPort_; }
    int getRecoveryInterval() const { return recoveryInterval_; }
    int getRelease() const { return release_; }

  private:
    int frameGrabberPort_;
    std::string cameraIp_;
    int cameraPort_ = -1;
    int recoveryInterval_ = 10;
    int release_ = RELEASE_AUTOMATIC;
};

}  // namespace icon
