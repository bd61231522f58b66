#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "SimTestSupport.h"
#include "icon/DataFormat.h"

namespace {

using icon::Camera;

class CameraTest : public ::testing::Test {
  protected:
    void SetUp() override { configure({icontest::smallDevice()}); }
    void TearDown() override { icon::sim::resetConfiguration(); }

    void configure(std::vector<icon::sim::DeviceConfig> devices) {
        icon::sim::configure(icontest::quickConfig(std::move(devices)));
    }

    std::unique_ptr<icon::EthernetCamera> connected(const std::string& ip = "10.0.0.2") {
        std::unique_ptr<icon::EthernetCamera> camera(
            dynamic_cast<icon::EthernetCamera*>(icon::createCamera("EthernetCamera", "cam")));
        EXPECT_EQ(camera->setComParameters(ip, 49000, -1, 0), 0);
        EXPECT_EQ(camera->setProtocolTimeout(7000), 0);
        return camera;
    }

    int status(icon::EthernetCamera& camera) {
        int s = -99;
        EXPECT_EQ(camera.checkCamStatus(s), 0);
        return s;
    }

    std::string writeFile(const std::string& name, const std::string& text) {
        const std::string path = ::testing::TempDir() + name;
        std::ofstream(path) << text;
        return path;
    }
};

TEST_F(CameraTest, FactoryMakesEthernetCamerasOnly) {
    std::unique_ptr<Camera> camera(icon::createCamera("EthernetCamera", "front"));
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->getCameraType(), icon::EthernetCamera::cameraType);
    EXPECT_EQ(camera->getName(), "front");
    EXPECT_NE(dynamic_cast<icon::EthernetCamera*>(camera.get()), nullptr);
    EXPECT_EQ(icon::createCamera("FireWireCamera", "x"), nullptr);
}

TEST_F(CameraTest, CommandsBeforeInitAnswerNotInited) {
    auto camera = connected();
    int s = 0;
    std::string text;
    EXPECT_EQ(camera->checkCamStatus(s), Camera::E_CAMERA_NOT_INITED);
    EXPECT_EQ(camera->start(), Camera::E_CAMERA_NOT_INITED);
    EXPECT_EQ(camera->getDataFormat("", text), Camera::E_CAMERA_NOT_INITED);
    EXPECT_EQ(camera->close(), Camera::E_CAMERA_NOT_INITED);
}

TEST_F(CameraTest, MeasuringStateMachine) {
    auto camera = connected();
    ASSERT_EQ(camera->init(), 0);
    EXPECT_EQ(camera->init(), Camera::E_ALREADY_INITED);
    EXPECT_EQ(status(*camera), 1);
    EXPECT_EQ(camera->stop(), Camera::E_MEASURE_NOT_RUNNING);
    ASSERT_EQ(camera->start(), 0);
    EXPECT_EQ(status(*camera), 2);
    EXPECT_EQ(camera->start(), Camera::E_MEASURE_ALREADY_RUNNING);
    EXPECT_EQ(camera->setActiveConfiguration("Image"), Camera::E_MEASURE_ALREADY_RUNNING);
    EXPECT_EQ(camera->stop(), 0);
    EXPECT_EQ(status(*camera), 1);
    EXPECT_EQ(camera->close(), 0);
    EXPECT_EQ(camera->stop(), Camera::E_CAMERA_NOT_INITED);
}

TEST_F(CameraTest, DeviceKeepsMeasuringAcrossConnections) {
    auto first = connected();
    ASSERT_EQ(first->init(), 0);
    ASSERT_EQ(first->start(), 0);
    ASSERT_EQ(first->close(), 0);
    auto second = connected();
    ASSERT_EQ(second->init(), 0);
    EXPECT_EQ(status(*second), 2);
    EXPECT_EQ(second->stop(), 0);
}

TEST_F(CameraTest, OddStartStatusNeedsAReset) {
    auto device = icontest::smallDevice();
    device.startStatus = 7;
    configure({device});
    auto camera = connected();
    ASSERT_EQ(camera->init(), 0);
    EXPECT_EQ(status(*camera), 7);
    EXPECT_EQ(camera->stop(), Camera::E_MEASURE_NOT_RUNNING);
    EXPECT_EQ(camera->start(), Camera::E_CAMERA_STATUS_NOT_OK);
    EXPECT_EQ(camera->reset(), 0);
    EXPECT_EQ(status(*camera), 1);
    EXPECT_EQ(camera->start(), 0);
}

TEST_F(CameraTest, StartStatusThreeIsMeasuring) {
    auto device = icontest::smallDevice();
    device.startStatus = 3;
    configure({device});
    auto camera = connected();
    ASSERT_EQ(camera->init(), 0);
    EXPECT_EQ(status(*camera), 3);
    EXPECT_EQ(camera->stop(), 0);
}

TEST_F(CameraTest, UnknownAddressAndUnreachableDeviceDoNotRespond) {
    auto device = icontest::smallDevice();
    device.unreachable = true;
    configure({device});
    EXPECT_EQ(connected("10.0.0.2")->init(), Camera::E_CAMERA_NOT_RESPONDING);
    EXPECT_EQ(connected("10.9.9.9")->init(), Camera::E_CAMERA_NOT_RESPONDING);
    auto camera = connected();
    EXPECT_EQ(camera->setComParameters("not an address", 1, -1, 0), Camera::E_PARAMETER_ERROR);
}

TEST_F(CameraTest, DataFormatsOfTheDefaultConfigurations) {
    auto camera = connected();
    ASSERT_EQ(camera->init(), 0);
    std::string text;
    ASSERT_EQ(camera->getDataFormat("", text), 0);
    icon::DataFormat measurement(text);
    ASSERT_EQ(measurement.numComponents(), 1);
    const icon::Component* cog = measurement.getComponent(0);
    EXPECT_EQ(cog->getValueType(), "COG");
    ASSERT_EQ(cog->numSubComponents(), 3);
    EXPECT_EQ(cog->getSubComponent(0)->getName(), "Mark");
    EXPECT_EQ(cog->getSubComponent(1)->getName(), "Sum");
    EXPECT_EQ(cog->getSubComponent(2)->getName(), "XSum");
    EXPECT_EQ(cog->getNamedSubComponent("Sum")->getWidth(), 64);

    ASSERT_EQ(camera->setActiveConfiguration("Image"), 0);
    ASSERT_EQ(camera->getDataFormat("", text), 0);
    EXPECT_EQ(icon::DataFormat(text).getComponent(0)->getValueType(), "IMAGE");
    EXPECT_EQ(camera->setActiveConfiguration("Calibration"), Camera::E_PARAMETER_NOT_FOUND);
    EXPECT_EQ(camera->getDataFormat("Calibration", text), Camera::E_PARAMETER_NOT_FOUND);
}

TEST_F(CameraTest, SampleParameterFileChoosesTheConfigurations) {
    auto camera = connected();
    ASSERT_EQ(camera->init(), 0);
    ASSERT_EQ(camera->fileLoadParameters(ICONAPI_SAMPLES_DIR "/range-and-cog.prm"), 0);
    std::string text;
    ASSERT_EQ(camera->getDataFormat("Measurement", text), 0);
    icon::DataFormat format(text);
    ASSERT_EQ(format.numComponents(), 2);
    const icon::Component* range = format.getComponent(0);
    EXPECT_EQ(range->getName(), "Peak 1");
    EXPECT_EQ(range->getNamedSubComponent("Range")->getValueType(), "WORD");
    EXPECT_EQ(range->getNamedSubComponent("Intensity")->getValueType(), "BYTE");
    EXPECT_EQ(format.getComponent(1)->getNamedSubComponent("Mark"), nullptr);
    // A file without an "Image" configuration keeps the default one.
    ASSERT_EQ(camera->getDataFormat("Image", text), 0);
    EXPECT_EQ(icon::DataFormat(text).getComponent(0)->getName(), "Frame 1");
}

TEST_F(CameraTest, EverySampleParameterFileLoads) {
    auto camera = connected();
    ASSERT_EQ(camera->init(), 0);
    for (const char* name : {"cog-with-mark.prm", "range-and-cog.prm", "image-only.prm"}) {
        EXPECT_EQ(camera->fileLoadParameters(std::string(ICONAPI_SAMPLES_DIR "/") + name), 0)
            << name;
    }
}

TEST_F(CameraTest, MissingOrMalformedParameterFiles) {
    auto camera = connected();
    ASSERT_EQ(camera->init(), 0);
    EXPECT_EQ(camera->fileLoadParameters(::testing::TempDir() + "nothing-here.prm"),
              Camera::E_INVALID_PRM_PATH);
    const char* bad[] = {
        "<parameters><configuration name=\"Measurement\">",
        "<settings/>",
        "<parameters><configuration name=\"Other\"><component name=\"a\" type=\"COG\"/>"
        "</configuration></parameters>",
        "<parameters><configuration name=\"Measurement\"><component name=\"a\" type=\"IMAGE\"/>"
        "</configuration></parameters>",
        "<parameters><configuration name=\"Measurement\"><component name=\"a\" type=\"COG\"/>"
        "<component name=\"a\" type=\"RANGE\"/></configuration></parameters>",
        "<parameters><configuration name=\"Image\"/></parameters>",
    };
    for (const char* text : bad) {
        EXPECT_EQ(camera->fileLoadParameters(writeFile("bad.prm", text)),
                  Camera::E_INVALID_PRM_FILE)
            << text;
    }
    std::string format;
    ASSERT_EQ(camera->getDataFormat("", format), 0);
    EXPECT_EQ(icon::DataFormat(format).getComponent(0)->getName(), "Profile 1");
}

TEST_F(CameraTest, FaultsOnceAlwaysAndFromTheNthCall) {
    auto device = icontest::smallDevice();
    device.faults = {{"Init camera", 4, icon::sim::Fault::ONCE, 1},
                     {"Camera::checkCamStatus", 20, icon::sim::Fault::FROM_CALL, 3},
                     {"Camera start", 13, icon::sim::Fault::ALWAYS, 1}};
    configure({device});
    auto camera = connected();
    EXPECT_EQ(camera->init(), 4);
    EXPECT_EQ(camera->init(), 0);
    int s = 0;
    EXPECT_EQ(camera->checkCamStatus(s), 0);
    EXPECT_EQ(camera->checkCamStatus(s), 0);
    EXPECT_EQ(camera->checkCamStatus(s), 20);
    EXPECT_EQ(camera->checkCamStatus(s), 20);
    EXPECT_EQ(camera->start(), 13);
    EXPECT_EQ(camera->start(), 13);
}

// The first call of a new camera object names its device: a fault of that
// device's communication set-up fails it.
TEST_F(CameraTest, CommunicationSetUpFailsByTheAddressedDevice) {
    auto faulty = icontest::smallDevice("10.0.0.2");
    faulty.faults = {{"Set communication paramameters", 15, icon::sim::Fault::ONCE, 1}};
    configure({faulty, icontest::smallDevice("10.0.0.3")});
    std::unique_ptr<icon::EthernetCamera> camera(
        dynamic_cast<icon::EthernetCamera*>(icon::createCamera("EthernetCamera", "faulty")));
    EXPECT_EQ(camera->setComParameters("10.0.0.3", 0, -1, 0), 0);
    EXPECT_EQ(camera->setComParameters("10.0.0.2", 0, -1, 0), 15);
    EXPECT_EQ(camera->setComParameters("10.0.0.2", 0, -1, 0), 0);
}

TEST_F(CameraTest, FlashUserDataByCalibrationState) {
    auto valid = icontest::smallDevice("10.0.0.2");
    auto none = icontest::smallDevice("10.0.0.3");
    none.calibration = icon::sim::DeviceConfig::CALIBRATION_NONE;
    auto corrupt = icontest::smallDevice("10.0.0.4");
    corrupt.calibration = icon::sim::DeviceConfig::CALIBRATION_CORRUPT;
    configure({valid, none, corrupt});
    std::string data[3];
    const char* ips[] = {"10.0.0.2", "10.0.0.3", "10.0.0.4"};
    for (int i = 0; i < 3; ++i) {
        auto camera = connected(ips[i]);
        ASSERT_EQ(camera->init(), 0);
        ASSERT_EQ(camera->readUserDataFromFlash(data[i]), 0);
    }
    EXPECT_EQ(data[0], icon::sim::calibrationText(valid.sensor));
    EXPECT_TRUE(data[1].empty());
    EXPECT_NE(data[2], data[0]);
    EXPECT_NE(data[2].find('\0'), std::string::npos);
}

}  // namespace
