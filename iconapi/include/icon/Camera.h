#pragma once

#include <string>

namespace icon {

// A camera on the network. Every operation returns E_ALL_OK (0) or one of the
// result codes below. A camera object starts not initialised; `init` connects
// it to the device named by its communication parameters.
class Camera {
  public:
    enum ErrorCode {
        E_ALL_OK = 0,
        E_CAMERA_NOT_INITED = 1,
        E_INVALID_PRM_PATH = 2,
        E_CAMERA_NOT_RESPONDING = 3,
        E_INVALID_CAMERA_REPLY = 4,
        E_INVALID_PRM_FILE = 5,
        E_FILE_ERROR = 6,
        E_PARAMETER_NOT_FOUND = 7,
        E_ALREADY_INITED = 8,
        E_PARAMETER_ERROR = 9,
        E_MEASURE_ALREADY_RUNNING = 10,
        E_MEASURE_NOT_RUNNING = 11,
        E_LOOP_GENERATION_FAILED = 12,
        E_CAMERA_PARAMETER_ERROR = 13,
        E_CAMERA_STATUS_NOT_OK = 14,
        E_ERROR = 15,
        E_CAMERA_DENIED_REQUEST_CONTROL = 16,
        E_CAMERA_USER_DATA_ERROR = 17,
        E_NO_PARAMETERS_IN_FLASH = 18,
        E_FLASH_APPLICATION = 19,
        E_NETWORK = 20
    };

    // Values of `checkCamStatus`: 1 idle; 2 measuring; 3 and 4 measuring with
    // a trigger pending or overtriggered. Anything else is an odd state that
    // needs a `reset`.
    enum Status { STATUS_IDLE = 1, STATUS_MEASURING = 2 };

    virtual ~Camera();

    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    const std::string& getName() const { return name_; }
    virtual std::string getCameraType() const = 0;

    // Connects to the device. Not responding devices answer after the
    // protocol time-out.
    virtual int init() = 0;
    // Drops the connection; the device keeps measuring if it was.
    virtual int close() = 0;
    virtual int setProtocolTimeout(int milliseconds) = 0;
    virtual int checkCamStatus(int& status) = 0;
    virtual int start() = 0;
    // E_MEASURE_NOT_RUNNING when the device is not measuring.
    virtual int stop() = 0;
    // Reboots the device: measurement stops, the status becomes idle and the
    // parameter file loaded last is kept. The connection stays initialised.
    virtual int reset() = 0;
    // Loads a parameter file (.prm): E_INVALID_PRM_PATH when it cannot be
    // read, E_INVALID_PRM_FILE when it is malformed.
    virtual int fileLoadParameters(const std::string& path) = 0;
    // "Measurement" or "Image".
    virtual int setActiveConfiguration(const std::string& name) = 0;
    // The data-format text of a configuration; the empty name means the
    // active one.
    virtual int getDataFormat(const std::string& configuration, std::string& text) = 0;
    // The user data kept in the device's flash (the calibration text); may be
    // empty, may hold any bytes.
    virtual int readUserDataFromFlash(std::string& data) = 0;

  protected:
    explicit Camera(std::string name) : name_(std::move(name)) {}

  private:
    std::string name_;
};

// Creates a camera of the given type ("EthernetCamera"). Null for an unknown
// type. The caller owns the object.
Camera* createCamera(const std::string& cameraType, const std::string& name);

}  // namespace icon
