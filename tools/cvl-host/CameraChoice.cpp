#include "tools/cvl-host/CameraChoice.h"

#include <strings.h>

#include <cctype>

#include "tools/cvl-host/ExitCode.h"

namespace {

bool IsAddressPart(const std::string& part) {
    if (part.empty() || part.size() > 3) {
        return false;
    }
    for (char c : part) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return std::stoi(part) <= 255;
}

// Two hexadecimal digits.
bool IsByte(const std::string& text) {
    return text.size() == 2 && std::isxdigit(static_cast<unsigned char>(text[0])) != 0 &&
           std::isxdigit(static_cast<unsigned char>(text[1])) != 0;
}

}  // namespace

std::string CameraPart(const std::string& name) {
    return name.substr(0, name.rfind('.'));
}

std::string NoCameraFound() {
    return "no camera found on the network (is it powered and on this subnet? a camera "
           "elsewhere is opened by address, as --camera 192.168.0.10.1)";
}

std::string DescribeCamera(const std::string& camera) {
    const size_t dash = camera.rfind(" - ");
    const std::string mac = dash == std::string::npos ? "" : camera.substr(dash + 3);
    if (mac.size() != 12) {
        return camera;
    }
    std::string address;
    for (size_t byte = 6; byte-- > 0;) {
        const std::string digits = mac.substr(byte * 2, 2);
        if (!IsByte(digits)) {
            return camera;
        }
        address += digits + (byte > 0 ? ":" : "");
    }
    return camera + ": model " + camera.substr(0, dash) + ", MAC address " + address;
}

std::string ChooseCamera(HostLibrary& driver, const std::string& requested) {
    if (!requested.empty()) {
        return requested;
    }
    const char** names = driver.getCVLCameraConfigNames();
    if (names == nullptr || names[0] == nullptr) {
        throw ToolError(ExitCode::kCamera, NoCameraFound());
    }
    return names[0];
}

bool IsOffered(HostLibrary& driver, const std::string& name) {
    const char** names = driver.getCVLCameraConfigNames();
    for (size_t i = 0; names != nullptr && names[i] != nullptr; ++i) {
        if (::strcasecmp(CameraPart(name).c_str(), CameraPart(names[i]).c_str()) == 0) {
            return true;
        }
    }
    return false;
}

bool IsAddressName(const std::string& name) {
    const std::string address = CameraPart(name);
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t end = part < 3 ? address.find('.', start) : address.size();
        if (end == std::string::npos || !IsAddressPart(address.substr(start, end - start))) {
            return false;
        }
        start = end + 1;
    }
    return name.rfind('.') == address.size() && name.size() > address.size() + 1;
}

void ThrowNotOffered(HostLibrary& driver, const std::string& name) {
    std::string offered;
    const char** names = driver.getCVLCameraConfigNames();
    for (size_t i = 0; names != nullptr && names[i] != nullptr; ++i) {
        offered += std::string("\n  ") + names[i];
    }
    if (offered.empty()) {
        throw ToolError(ExitCode::kCamera, "the driver offers no camera configuration " + name +
                                               ": no camera was found on the network");
    }
    throw ToolError(ExitCode::kCamera,
                    "the driver offers no camera configuration " + name + "; it offers:" + offered +
                        "\n(a camera reached by address is named like 192.168.0.10.1)");
}

std::pair<int, int> OpenPort(HostSession& session, const std::string& camera, int port) {
    HostLibrary& driver = session.Driver();
    int size[2] = {0, 0};
    session.Capture(true);
    const bool opened = driver.openCVLPort(0, port, camera.c_str(), size) == 1;
    session.Capture(false);
    if (!opened) {
        if (!IsAddressName(camera) && !IsOffered(driver, camera)) {
            ThrowNotOffered(driver, camera);
        }
        throw session.Failure(ExitCode::kCamera,
                              "cannot open " + camera + " on port " + std::to_string(port));
    }
    session.Capture(true);
    const bool callbackSet =
        driver.setCompleteCallback(0, port, &HostSession::OnImageComplete) == 1;
    session.Capture(false);
    if (!callbackSet) {
        driver.closeCVLPort(0, port);
        throw session.Failure(ExitCode::kCamera,
                              "cannot set the completion callback of port " + std::to_string(port));
    }
    return {size[0], size[1]};
}
