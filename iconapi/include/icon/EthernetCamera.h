#pragma once

#include <memory>
#include <string>

#include "icon/Camera.h"
#include "icon/DeviceCollection.h"

namespace icon {

namespace detail {
struct EthernetCameraState;
}

// A camera reached over Ethernet by its IP address.
class EthernetCamera : public Camera {
  public:
    // The type text of every Ethernet camera object.
    static const char* const cameraType;

    // Fills `devices` with every device that answers within `timeoutMs`
    // milliseconds. Returns as soon as every device has answered. Returns 0 on
    // success, else a result code.
    static int discoverDevices(DeviceCollection& devices, int timeoutMs);

    explicit EthernetCamera(const std::string& name);
    ~EthernetCamera() override;

    std::string getCameraType() const override;

    // Where the camera is and where it sends its data: the camera's IP text,
    // the host port of the frame grabber, the camera's command port (-1: the
    // device's default) and option flags (0: none; no flag is defined yet).
    int setComParameters(const std::string& cameraIp, int frameGrabberPort, int commandPort,
                         int flags);
    // The device port that streams the scan data.
    int getCameraDataPort(int& port);

    int init() override;
    int close() override;
    int setProtocolTimeout(int milliseconds) override;
    int checkCamStatus(int& status) override;
    int start() override;
    int stop() override;
    int reset() override;
    int fileLoadParameters(const std::string& path) override;
    int setActiveConfiguration(const std::string& name) override;
    int getDataFormat(const std::string& configuration, std::string& text) override;
    int readUserDataFromFlash(std::string& data) override;

  private:
    std::unique_ptr<detail::EthernetCameraState> state_;
};

}  // namespace icon
