#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "SimTestSupport.h"

namespace {

using icon::sim::SimulationConfig;

class SimulationConfigTest : public ::testing::Test {
  protected:
    void TearDown() override {
        unsetenv("ICONSIM_CONFIG");
        icon::sim::resetConfiguration();
    }
};

TEST_F(SimulationConfigTest, SampleFileDescribesThreeDevices) {
    SimulationConfig config;
    std::string error;
    ASSERT_TRUE(icon::sim::loadConfigFile(ICONAPI_SAMPLES_DIR "/simulation.xml", config, error))
        << error;
    EXPECT_EQ(config.notRespondingDelayMs, 500);
    ASSERT_EQ(config.devices.size(), 3u);
    const auto& first = config.devices[0];
    EXPECT_EQ(first.ip, "192.168.0.10");
    EXPECT_EQ(first.mac[0], 0x02);
    EXPECT_EQ(first.mac[5], 0x0a);
    EXPECT_EQ(first.lineRate, 2000.0);
    EXPECT_EQ(first.sensor.columns, 1536);
    ASSERT_EQ(first.scene.objects.size(), 3u);
    EXPECT_EQ(first.scene.objects[1].kind, icon::sim::SceneObject::RAMP);
    const auto& cylinder = first.scene.objects[2];
    EXPECT_EQ(cylinder.kind, icon::sim::SceneObject::CYLINDER);
    EXPECT_EQ(cylinder.width, 100.0);
    EXPECT_EQ(cylinder.length, 400.0);
    EXPECT_EQ(first.overtrigPattern.size(), 10u);
    EXPECT_EQ(first.seed, 7u);
    const auto& second = config.devices[1];
    EXPECT_EQ(second.seed, 8u);
    EXPECT_EQ(second.startStatus, 3);
    EXPECT_EQ(second.calibration, icon::sim::DeviceConfig::CALIBRATION_NONE);
    ASSERT_EQ(second.faults.size(), 1u);
    EXPECT_EQ(second.faults[0].operation, "Camera start");
    EXPECT_EQ(second.faults[0].code, 14);
    ASSERT_EQ(second.messages.size(), 1u);
    EXPECT_EQ(second.messages[0].beforeBuffer, 2);
    EXPECT_TRUE(config.devices[2].unreachable);
}

TEST_F(SimulationConfigTest, ExplicitHomographyAndFaultModes) {
    const char* text =
        "<simulation><device ip=\"10.1.1.1\">"
        "<sensor columns=\"8\" rows=\"16\" homography=\"1 0 4 0 -1 15 0 0 1\"/>"
        "<fault operation=\"Camera::init\" code=\"3\" mode=\"from\" call=\"2\"/>"
        "<fault operation=\"Init camera\" code=\"4\" mode=\"always\"/>"
        "</device><fault operation=\"createCamera\" code=\"1\"/></simulation>";
    SimulationConfig config;
    std::string error;
    ASSERT_TRUE(icon::sim::parseConfig(text, config, error)) << error;
    EXPECT_EQ(config.devices[0].sensor.homography[2], 4.0);
    EXPECT_EQ(config.devices[0].faults[0].mode, icon::sim::Fault::FROM_CALL);
    EXPECT_EQ(config.devices[0].faults[0].call, 2);
    EXPECT_EQ(config.devices[0].faults[1].mode, icon::sim::Fault::ALWAYS);
    EXPECT_EQ(config.faults[0].mode, icon::sim::Fault::ONCE);
}

TEST_F(SimulationConfigTest, RejectsBrokenFilesWithAReason) {
    const char* bad[] = {
        "<simulation>",
        "<devices/>",
        "<simulation><device mac=\"00:11\"/></simulation>",
        "<simulation><device lineRate=\"0\"/></simulation>",
        "<simulation><device lineRate=\"nan\"/></simulation>",
        "<simulation><device lineRate=\"1e300\"/></simulation>",
        "<simulation><device pulsesPerMillimeter=\"inf\"/></simulation>",
        "<simulation><device calibration=\"maybe\"/></simulation>",
        "<simulation><device><sensor columns=\"8\" homography=\"1 2 3\"/></device></simulation>",
        "<simulation><device><scene><pyramid/></scene></device></simulation>",
        ("<simulation><device><fault operation=\"Camera::init\" mode=\"sometimes\"/>"
         "</device></simulation>"),
        "<simulation><device><lostPackets pattern=\"1 x\"/></device></simulation>",
    };
    for (const char* text : bad) {
        SimulationConfig config;
        std::string error;
        EXPECT_FALSE(icon::sim::parseConfig(text, config, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST_F(SimulationConfigTest, EnvironmentVariableNamesTheFile) {
    const std::string path = ::testing::TempDir() + "sim.xml";
    std::ofstream(path) << "<simulation><device ip=\"10.3.3.3\" model=\"FromFile\"/></simulation>";
    setenv("ICONSIM_CONFIG", path.c_str(), 1);
    icon::sim::resetConfiguration();
    icon::DeviceCollection devices;
    ASSERT_EQ(icon::EthernetCamera::discoverDevices(devices, 100), 0);
    ASSERT_EQ(devices.deviceCount(), 1);
    EXPECT_EQ(devices.getDeviceDescription(0)->getModelName(), "FromFile");
}

TEST_F(SimulationConfigTest, BrokenEnvironmentFileLeavesNoDevices) {
    const std::string path = ::testing::TempDir() + "broken.xml";
    std::ofstream(path) << "<simulation><device";
    setenv("ICONSIM_CONFIG", path.c_str(), 1);
    icon::sim::resetConfiguration();
    EXPECT_TRUE(icon::sim::currentConfig().devices.empty());
}

TEST_F(SimulationConfigTest, FactoriesCanBeMadeToFail) {
    auto config = icontest::quickConfig({});
    config.faults = {{"createCamera", 15, icon::sim::Fault::ONCE, 1},
                     {"createFrameGrabber", 15, icon::sim::Fault::ONCE, 1}};
    icon::sim::configure(config);
    EXPECT_EQ(icon::createCamera("EthernetCamera", "a"), nullptr);
    EXPECT_EQ(icon::createFrameGrabber("FGEthernet", "b"), nullptr);
    std::unique_ptr<icon::Camera> camera(icon::createCamera("EthernetCamera", "a"));
    EXPECT_NE(camera, nullptr);
}

}  // namespace
