#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "Simulator.h"
#include "icon/DeviceCollection.h"
#include "icon/EthernetCamera.h"

namespace icon {

DeviceDescription::DeviceDescription(std::string modelName, std::string currentIp,
                                     const unsigned char mac[6])
    : modelName_(std::move(modelName)), currentIp_(std::move(currentIp)) {
    std::memcpy(mac_, mac, sizeof mac_);
}

const DeviceDescription* DeviceCollection::getDeviceDescription(int index) const {
    if (index < 0 || index >= deviceCount()) {
        return nullptr;
    }
    return devices_[static_cast<size_t>(index)].get();
}

void DeviceCollection::addDevice(const DeviceDescription& description) {
    devices_.push_back(std::make_unique<DeviceDescription>(description));
}

const char* const EthernetCamera::cameraType = "EthernetCamera";

// Devices answer the broadcast after their own delay, in order of arrival.
// When every device has answered there is nothing left to wait for; while one
// is missing, only the time-out ends the wait.
int EthernetCamera::discoverDevices(DeviceCollection& devices, int timeoutMs) {
    devices.clear();
    detail::Simulator& simulator = detail::Simulator::instance();
    if (int code = simulator.globalFault("EthernetCamera::discoverDevices")) {
        return code;
    }
    const auto all = simulator.devices();
    std::vector<std::shared_ptr<detail::Device>> answering;
    for (const auto& device : all) {
        const int delay = device->config().discoveryDelayMs;
        if (delay >= 0 && delay <= timeoutMs) {
            answering.push_back(device);
        }
    }
    std::stable_sort(answering.begin(), answering.end(), [](const auto& a, const auto& b) {
        return a->config().discoveryDelayMs < b->config().discoveryDelayMs;
    });
    int waitMs = std::max(timeoutMs, 0);
    if (answering.size() == all.size()) {
        waitMs = answering.empty() ? 0 : answering.back()->config().discoveryDelayMs;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    for (const auto& device : answering) {
        const sim::DeviceConfig& c = device->config();
        devices.addDevice(DeviceDescription(c.model, c.ip, c.mac.data()));
    }
    return 0;
}

}  // namespace icon
