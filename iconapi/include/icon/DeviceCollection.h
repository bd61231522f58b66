#pragma once

#include <memory>
#include <string>
#include <vector>

namespace icon {

// What one device told discovery about itself.
class DeviceDescription {
  public:
    DeviceDescription(std::string modelName, std::string currentIp, const unsigned char mac[6]);

    const std::string& getModelName() const { return modelName_; }
    const std::string& getCurrentIP() const { return currentIp_; }
    // Six bytes, in the order the device sends them.
    const unsigned char* getMacAddress() const { return mac_; }

  private:
    std::string modelName_;
    std::string currentIp_;
    unsigned char mac_[6];
};

// The devices one discovery found. Descriptions stay valid while the
// collection lives.
class DeviceCollection {
  public:
    int deviceCount() const { return static_cast<int>(devices_.size()); }
    // Null for an index outside 0 .. deviceCount() - 1.
    const DeviceDescription* getDeviceDescription(int index) const;

    void addDevice(const DeviceDescription& description);
    void clear() { devices_.clear(); }

  private:
    std::vector<std::unique_ptr<DeviceDescription>> devices_;
};

}  // namespace icon
