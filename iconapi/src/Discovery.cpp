#include <cstring>

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

// No simulated devices exist yet: discovery finds nothing.
int EthernetCamera::discoverDevices(DeviceCollection& devices, int /*timeoutMs*/) {
    devices.clear();
    return 0;
}

}  // namespace icon
