#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "SimTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

class DiscoveryTest : public ::testing::Test {
  protected:
    void TearDown() override { icon::sim::resetConfiguration(); }

    long long discover(icon::DeviceCollection& devices, int timeoutMs) {
        const auto begin = Clock::now();
        EXPECT_EQ(icon::EthernetCamera::discoverDevices(devices, timeoutMs), 0);
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count();
    }
};

TEST_F(DiscoveryTest, EmbeddedDefaultOffersTwoCameras) {
    unsetenv("ICONSIM_CONFIG");
    icon::sim::resetConfiguration();
    icon::DeviceCollection devices;
    discover(devices, 2000);
    ASSERT_EQ(devices.deviceCount(), 2);
    const icon::DeviceDescription* first = devices.getDeviceDescription(0);
    EXPECT_EQ(first->getCurrentIP(), "192.168.0.10");
    EXPECT_FALSE(first->getModelName().empty());
    EXPECT_EQ(devices.getDeviceDescription(1)->getCurrentIP(), "192.168.0.11");
    EXPECT_NE(0, std::memcmp(first->getMacAddress(),
                             devices.getDeviceDescription(1)->getMacAddress(), 6));
    EXPECT_EQ(devices.getDeviceDescription(2), nullptr);
    EXPECT_EQ(devices.getDeviceDescription(-1), nullptr);
}

TEST_F(DiscoveryTest, ReportsModelIpAndMacInOrderOfAnswer) {
    auto slow = icontest::smallDevice("10.0.0.5");
    slow.model = "Slow";
    slow.discoveryDelayMs = 30;
    auto fast = icontest::smallDevice("10.0.0.6");
    fast.model = "Fast";
    fast.mac = {{1, 2, 3, 4, 5, 6}};
    icon::sim::configure(icontest::quickConfig({slow, fast}));
    icon::DeviceCollection devices;
    discover(devices, 2000);
    ASSERT_EQ(devices.deviceCount(), 2);
    EXPECT_EQ(devices.getDeviceDescription(0)->getModelName(), "Fast");
    EXPECT_EQ(devices.getDeviceDescription(0)->getCurrentIP(), "10.0.0.6");
    const unsigned char* mac = devices.getDeviceDescription(0)->getMacAddress();
    EXPECT_EQ(std::vector<unsigned char>(mac, mac + 6),
              (std::vector<unsigned char>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(devices.getDeviceDescription(1)->getModelName(), "Slow");
}

TEST_F(DiscoveryTest, ReturnsOnceEveryDeviceHasAnswered) {
    auto device = icontest::smallDevice();
    device.discoveryDelayMs = 20;
    icon::sim::configure(icontest::quickConfig({device}));
    icon::DeviceCollection devices;
    const long long took = discover(devices, 5000);
    EXPECT_EQ(devices.deviceCount(), 1);
    EXPECT_GE(took, 20);
    EXPECT_LT(took, 2500);
}

TEST_F(DiscoveryTest, LateAndSilentDevicesAreMissingAfterTheTimeout) {
    auto late = icontest::smallDevice("10.0.0.7");
    late.discoveryDelayMs = 500;
    auto silent = icontest::smallDevice("10.0.0.8");
    silent.discoveryDelayMs = -1;
    auto prompt = icontest::smallDevice("10.0.0.9");
    icon::sim::configure(icontest::quickConfig({late, silent, prompt}));
    icon::DeviceCollection devices;
    const long long took = discover(devices, 60);
    ASSERT_EQ(devices.deviceCount(), 1);
    EXPECT_EQ(devices.getDeviceDescription(0)->getCurrentIP(), "10.0.0.9");
    EXPECT_GE(took, 60);
}

TEST_F(DiscoveryTest, RepeatedDiscoveryReplacesTheCollection) {
    icon::sim::configure(icontest::quickConfig({icontest::smallDevice()}));
    icon::DeviceCollection devices;
    discover(devices, 100);
    discover(devices, 100);
    EXPECT_EQ(devices.deviceCount(), 1);
}

TEST_F(DiscoveryTest, InjectedFaultFailsDiscovery) {
    auto config = icontest::quickConfig({icontest::smallDevice()});
    config.faults.push_back({"Discover devices", 20, icon::sim::Fault::ONCE, 1});
    icon::sim::configure(config);
    icon::DeviceCollection devices;
    EXPECT_EQ(icon::EthernetCamera::discoverDevices(devices, 100), 20);
    EXPECT_EQ(icon::EthernetCamera::discoverDevices(devices, 100), 0);
    EXPECT_EQ(devices.deviceCount(), 1);
}

}  // namespace
