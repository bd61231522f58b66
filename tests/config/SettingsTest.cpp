#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "base/DriverContext.h"
#include "config/CameraDefaults.h"
#include "config/CameraParameters.h"
#include "config/ConstraintEnumOff.h"
#include "config/ParamEnum.h"
#include "tests/config/TempDir.h"
#include "tests/support/LogCapture.h"

using namespace std::string_literals;

class Settings : public TempDir {
  protected:
    void SetUp() override {
        TempDir::SetUp();
        DriverContext::Instance()->SetSystemPath(Dir().string());
    }
    void TearDown() override {
        DriverContext::Instance()->SetSystemPath("");
        TempDir::TearDown();
    }
    static CameraParameters Camera(const std::string& name) {
        CameraParameters set(name);
        CreateDefaultParameters(set);
        return set;
    }
};

// Name, category, value, range, flags general/persistent/visible/enabled, description.
std::string Describe(Param_& param) {
    std::ostringstream text;
    text << param.name << "|" << param.category << "|" << param.ToString() << "|";
    param.WriteRange(text);
    text << "|" << param.general << param.persistent << param.visible << param.enabled << "|"
         << param.description;
    return text.str();
}

TEST_F(Settings, DefaultCameraSet) {
    CameraParameters set = Camera("Cam1");
    std::vector<std::string> described;
    for (Param_& param : set.Params()) {
        described.push_back(Describe(param));
    }
    EXPECT_EQ((std::vector<std::string>{
                  "LogLevel|General|1|[0..4]|1111|", "LogIntoFile|General|0||1011|",
                  "DebugViewOutput|General|0|[0..4]|1101|",
                  "ConfigurationFile|Camera|||0111|Camera parameter file",
                  "ConfigurationType|Camera|Measurement||0101|",
                  "NumberOfScans|Camera|512|[1..65535]|0111|Number of scans delivered per buffer",
                  "BufferSize|Camera|20|[1..3000]|0111|Frame grabber buffer size in megabytes"}),
              described);
    const auto& type = dynamic_cast<const ParamEnum&>(set.GetParam("ConfigurationType"));
    EXPECT_EQ((std::vector<std::string>{"Measurement", "Image"}), type.labels);
    EXPECT_EQ((std::vector<int32_t>{0, 1}), type.values);
    EXPECT_FALSE(type.storeByValue);

    set.GetParam("LogIntoFile").FromString("1", false);
    CreateDefaultParameters(set);
    EXPECT_EQ(7u, set.Params().size());
    EXPECT_EQ("1", set.GetParam("LogIntoFile").ToString());
}

TEST_F(Settings, LoadWithoutAFileKeepsDefaultsAndWritesNothing) {
    CameraParameters set = Camera("Cam1");
    EXPECT_TRUE(set.Load());
    EXPECT_EQ(512, set.GetParameter<int>("NumberOfScans"));
    EXPECT_EQ(0u, FilesInDir());
}

TEST_F(Settings, NoSystemDirectoryMeansNoSettingsFile) {
    DriverContext::Instance()->SetSystemPath("");
    const auto workingDir = std::filesystem::current_path();
    std::filesystem::current_path(Dir());
    const bool rootHadFile = std::filesystem::exists("/VaveZAZ.ini");
    CameraParameters set = Camera("Cam1");
    set.Save();
    std::filesystem::current_path(workingDir);
    EXPECT_EQ(0u, FilesInDir());
    EXPECT_EQ(rootHadFile, std::filesystem::exists("/VaveZAZ.ini"));
}

TEST_F(Settings, SaveWritesSectionsAndKeysInOrder) {
    CameraParameters set = Camera("Cam1");
    set.GetParam("LogIntoFile").FromString("1", false);
    EXPECT_TRUE(set.Save());
    EXPECT_EQ(
        "[General]\nLogLevel=1\nDebugViewOutput=0\n"
        "[Cam1]\nConfigurationFile=\nConfigurationType=Measurement\nNumberOfScans=512\n"
        "BufferSize=20\n",
        Content());
}

TEST_F(Settings, LoadClampsOnlyTheGeneralSection) {
    Put("[general]\nloglevel=9\nLogIntoFile=1\n[CAM1]\nbuffersize = 5000\n"
        "ConfigurationType=Image\nConfigurationFile=\"/data/my cam.prm\"\n");
    CameraParameters set = Camera("Cam1");
    set.Load();
    EXPECT_EQ(4, set.GetParameter<int>("LogLevel"));
    EXPECT_EQ("0", set.GetParam("LogIntoFile").ToString());
    EXPECT_EQ(5000, set.GetParameter<int>("BufferSize"));
    EXPECT_EQ("Image", set.GetParameter<std::string>("ConfigurationType"));
    EXPECT_EQ("/data/my cam.prm", set.GetParameter<std::string>("ConfigurationFile"));
    std::string message;
    EXPECT_FALSE(set.Validate(message));
    EXPECT_EQ("Camera: BufferSize: out of range [1..3000]", message);

    Put("[Cam1]\nConfigurationType=1\n");
    set.Load();
    EXPECT_EQ("1", set.GetParameter<std::string>("ConfigurationType"));
    EXPECT_FALSE(set.Validate(message));
    EXPECT_EQ("Camera: ConfigurationType: out of range ", message);
}

TEST_F(Settings, CamerasShareTheGeneralSection) {
    CameraParameters first = Camera("Cam1");
    CameraParameters second = Camera("Cam2");
    first.GetParam("LogLevel").FromString("3", false);
    first.Save();
    second.Save();
    first.Load();
    EXPECT_EQ(1, first.GetParameter<int>("LogLevel"));
}

TEST_F(Settings, ASwitchedOffParameterKeepsItsStoredLine) {
    CameraParameters set("Cam1.img");
    auto filter =
        std::make_unique<ParamEnum>("Image", "CalibrationFilter", "",
                                    std::vector<ParamEnum::Entry>{{"Disabled", 0}, {"Enabled", 1}});
    filter->storeByValue = true;
    set.AddParam(std::move(filter));
    set.AddParam(std::make_unique<Param<double>>("Image", "Angle", 0.0, -90.0, 90.0, 0.0));
    set.AddParam(std::make_unique<Param<double>>("Image", "Pulses", 1.23456789));
    auto constraint = std::make_unique<ConstraintEnumOff>("CalibrationFilter", "Disabled");
    constraint->dependents.insert("Angle");
    set.AddConstraint(std::move(constraint));
    Put("[Cam1.img]\nCalibrationFilter=1\nAngle=30\n");

    set.Load();
    EXPECT_EQ("Enabled", set.GetParameter<std::string>("CalibrationFilter"));
    EXPECT_DOUBLE_EQ(30.0, set.GetParameter<double>("Angle"));
    // Every value passes through its text form, even when the key is missing.
    EXPECT_DOUBLE_EQ(1.23457, set.GetParameter<double>("Pulses"));

    set.GetParam("CalibrationFilter").FromString("0", false);
    set.GetParam("Angle").FromString("45", false);
    std::string message;
    set.Validate(message);
    set.Save();
    EXPECT_EQ("[Cam1.img]\nCalibrationFilter=0\nAngle=30\nPulses=1.23457\n", Content());
}

TEST_F(Settings, DamagedFilesNeverStopALoad) {
    Put("[Cam1]\nBufferSize\n" + std::string(100000, '\xfe') + "\0\n"s +
        "[Cam1]\nBufferSize=7\n[General\nLogLevel=4\n[Cam1]\nNumberOfScans=0x\n[Cam1");
    CameraParameters set = Camera("Cam1");
    set.Load();
    EXPECT_EQ(20, set.GetParameter<int>("BufferSize"));
    EXPECT_EQ(1, set.GetParameter<int>("LogLevel"));
    EXPECT_EQ(512, set.GetParameter<int>("NumberOfScans"));

    Put("[Cam1]\nNumberOfScans=0x\n[Cam1");
    set.Load();
    std::string message;
    EXPECT_FALSE(set.Validate(message));
    EXPECT_EQ("Camera: NumberOfScans: out of range [1..65535]", message);
}

TEST_F(Settings, TwoCamerasLoadAtOnce) {
    Put("[General]\nLogLevel=2\n[Cam1]\nBufferSize=111\n[Cam2]\nBufferSize=222\n");
    auto loader = [](const std::string& name, int expected, bool* allRight) {
        for (int i = 0; i < 100; ++i) {
            CameraParameters set = Camera(name);
            set.Load();
            *allRight = *allRight && set.GetParameter<int>("BufferSize") == expected &&
                        set.GetParameter<int>("LogLevel") == 2;
        }
    };
    bool firstRight = true;
    bool secondRight = true;
    std::thread first(loader, "Cam1", 111, &firstRight);
    std::thread second(loader, "Cam2", 222, &secondRight);
    first.join();
    second.join();
    EXPECT_TRUE(firstRight);
    EXPECT_TRUE(secondRight);
}

// A damaged file must not bring a non-finite real into the 3D arithmetic.
TEST_F(Settings, LoadKeepsTheValueOfARealThatIsNotFinite) {
    CameraParameters set("Cam1.img");
    set.AddParam(std::make_unique<Param<double>>("Image", "MaxHeight", 1000.0));
    set.AddParam(std::make_unique<Param<double>>("Image", "MinHeight", 1.0));
    Put("[Cam1.img]\nMaxHeight=1e999\nMinHeight=nan\n");
    set.Load();
    EXPECT_EQ(1000.0, set.GetParameter<double>("MaxHeight"));
    EXPECT_EQ(0.0, set.GetParameter<double>("MinHeight"));
    std::string message;
    EXPECT_TRUE(set.Validate(message)) << message;
}

#ifndef _WIN32  // file modes and the Unix user the host runs as
// The dialog tells the user when the settings were not stored; Save used to
// answer true whatever happened to the file.
TEST_F(Settings, SaveReportsAFileItCannotWriteWithItsReason) {
    LogCapture capture;
    DriverContext::Instance()->debugMsgProc = LogCapture::Proc();
    Put("[Cam1]\nBufferSize=20\n");
    std::filesystem::permissions(
        Path(), std::filesystem::perms::owner_read | std::filesystem::perms::others_read);
    CameraParameters set = Camera("Cam1");
    set.GetParam("BufferSize").FromString("30", false);
    std::optional<OrdinaryUser> user(std::in_place);
    const bool saved = set.Save();
    user.reset();
    DriverContext::Instance()->debugMsgProc = nullptr;
    EXPECT_FALSE(saved);
    EXPECT_TRUE(
        capture.Contains("CameraParameters::Save: ERROR: BufferSize of section [Cam1] not "
                         "written to " +
                         Path() + ": may not write it: Permission denied\n"));
    EXPECT_TRUE(
        capture.Contains("CameraParameters::Save: ERROR: LogLevel of section [General] "
                         "not written to " +
                         Path() + ": may not write it: Permission denied\n"));
    EXPECT_EQ("[Cam1]\nBufferSize=20\n", Content());

    std::filesystem::permissions(Path(), std::filesystem::perms::owner_all);
    EXPECT_TRUE(set.Save());
}
#endif
