#pragma once

#include <string>

#include "icon/FrameGrabberParameters.h"

namespace icon {

// Receives a camera's scan stream and delivers it as buffers of "number of
// scans" scans to the callback of its parameters, on a thread of its own.
class FrameGrabber {
  public:
    enum ErrorCode {
        E_ALL_OK = 0,
        E_FG_CONNECTED = 6001,
        E_FG_NOT_CONNECTED = 6002,
        E_FG_START_GRAB = 6003,
        E_FG_STOP_GRAB = 6004,
        E_FG_WRONG_CALLBACK_TYPE = 6005,
        E_FG_BUFFER_SIZE = 6100,
        E_FG_DATAFORMAT = 6101,
        E_FG_FIFO_FULL = 6102,
        E_FG_INCORRECT_MODE = 6103,
        E_FG_PACKET = 6104,
        E_FG_WINSOCK = 6105,
        E_FG_INTERNAL = 6106,
        E_FG_PLEORA = 6107,
        E_FG_NOT_IMPLEMENTED = 6108
    };

    virtual ~FrameGrabber();

    FrameGrabber(const FrameGrabber&) = delete;
    FrameGrabber& operator=(const FrameGrabber&) = delete;

    const std::string& getName() const { return name_; }
    virtual std::string getFrameGrabberType() const = 0;

    // The grabber's parameters; owned by the grabber.
    virtual FrameGrabberParameters* getParameters() = 0;

    // Checks the parameters and opens the stream from the camera.
    virtual int connect() = 0;
    // Starts delivering buffers; scans arrive once the camera is started.
    virtual int startGrab() = 0;
    // Stops delivering. Waits for a callback in progress for a bounded time
    // only: when it does not return in time, the answer is E_FG_STOP_GRAB and
    // the grabber's thread ends on its own once the callback returns.
    virtual int stopGrab() = 0;
    // Stops grabbing if needed and closes the stream.
    virtual int disconnect() = 0;
    virtual bool isGrabbing() const = 0;
    virtual bool isConnected() const = 0;

    // Scans the camera sent while every buffer of the pool was full, since
    // the last connect.
    virtual long long getLostScans() const = 0;
    // Scans the simulation could not produce in time, since the last
    // connect: it fell behind the camera's line rate and skipped them.
    virtual long long getLateScans() const = 0;

  protected:
    explicit FrameGrabber(std::string name) : name_(std::move(name)) {}

  private:
    std::string name_;
};

// Creates a frame grabber of the given type ("FGEthernet"). Null for an
// unknown type. The caller owns the object.
FrameGrabber* createFrameGrabber(const std::string& frameGrabberType, const std::string& name);

}  // namespace icon
