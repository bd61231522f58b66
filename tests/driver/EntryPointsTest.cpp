// The entry points called as the host calls them, with the log captured.

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <regex>

#include "tests/support/ContextFixture.h"
#include "vavezaz/CvlDriver.h"

namespace {

class EntryPoints : public ContextFixture {
  protected:
    void SetUp() override {
        ContextFixture::SetUp();
        ASSERT_EQ(1, initialize(systemDir_.string().c_str(), LogCapture::Proc()));
        context_->logLevel = 4;
        capture_.Clear();
    }
    void TearDown() override {
        while (context_->refCount > 0) {
            finalize();
        }
        ContextFixture::TearDown();
    }

    bool Logged(const std::string& line) const { return capture_.Contains(line); }
    bool LoggedContaining(const std::string& text) const {
        for (const std::string& message : capture_.Messages()) {
            if (message.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    std::string PortError(const char* prefix, int port) const {
        return std::string(prefix) + "CameraList::GetByPort: could not find camera on port " +
               std::to_string(port) + "\n";
    }
};

int Callback(int, int) {
    return 0;
}

}  // namespace

TEST_F(EntryPoints, ConstantsAnswerOneGrabberAndTwentyPorts) {
    EXPECT_EQ(1, getCVLMaxNoOfGrabbers());
    EXPECT_EQ(20, getCVLMaxNoOfPorts());
    EXPECT_EQ(1, setHWTrigger(0, 3));
    EXPECT_EQ(1, setHWTrigger(-5, 99));
    std::vector<std::string> messages = capture_.Messages();
    EXPECT_EQ(2, std::count(messages.begin(), messages.end(), std::string("setHWTrigger: \n")));
}

TEST_F(EntryPoints, InitializeAndFinalizeNestByCount) {
    ASSERT_EQ(1, initialize(nullptr, LogCapture::Proc()));
    EXPECT_EQ(2, context_->refCount.load());
    EXPECT_EQ(systemDir_.string(), context_->GetSystemPath()) << "a null path changes nothing";
    std::vector<std::string> messages = capture_.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ("===============\ninitialize: \n", messages[0]);
    EXPECT_TRUE(std::regex_match(
        messages[1], std::regex(R"(initialize: VaveZAZ camera driver V1,0,0,7, refcount=2, )"
                                R"(\d{4}-\d{1,2}-\d{1,2} \d{1,2}:\d{1,2}:\d{1,2}\n)")))
        << messages[1];

    getCVLNoOfSupportedCameras();  // brings the camera list into being
    capture_.Clear();
    EXPECT_EQ(1, finalize());
    EXPECT_TRUE(Logged("finalize: entering, refcount=2\n"));
    EXPECT_TRUE(Logged("finalize: leaving, refcount=1\n"));
    EXPECT_FALSE(Logged("CameraList::Destroy: entering\n")) << "only the last finalize tears down";

    EXPECT_EQ(1, finalize());
    EXPECT_TRUE(Logged("CameraList::Destroy: entering\n"));
    EXPECT_EQ(0, context_->refCount.load());
}

// The count used to go below 0: the host's real last finalize then tore
// nothing down and the cameras streamed on.
TEST_F(EntryPoints, AnExtraFinalizeLogsAndChangesNothing) {
    EXPECT_EQ(1, finalize());
    capture_.Clear();
    EXPECT_EQ(0, finalize());
    EXPECT_EQ(0, context_->refCount.load());
    EXPECT_TRUE(Logged("finalize: ERROR: called more often than initialize, refcount=0\n"));
    EXPECT_FALSE(Logged("finalize: leaving, refcount=-1\n"));

    ASSERT_EQ(1, initialize(systemDir_.string().c_str(), LogCapture::Proc()));
    getCVLNoOfSupportedCameras();  // brings the camera list into being
    capture_.Clear();
    EXPECT_EQ(1, finalize());
    EXPECT_TRUE(Logged("CameraList::Destroy: entering\n")) << "the real last finalize tears down";
    EXPECT_EQ(0, context_->refCount.load());
}

TEST_F(EntryPoints, SystemPathAndDebugProcedureTakeEffect) {
    EXPECT_EQ(0, setSystemPath(nullptr));
    EXPECT_EQ(0, setSystemPath(""));
    EXPECT_EQ(systemDir_.string(), context_->GetSystemPath());
    EXPECT_EQ(1, setSystemPath("/elsewhere"));
    EXPECT_EQ("/elsewhere", context_->GetSystemPath());

    setDebugMsgProc(nullptr);
    doCVLGrab(0, 1);
    EXPECT_TRUE(capture_.Calls().empty()) << "a null procedure switches the host output off";
    setDebugMsgProc(LogCapture::Proc());
    doCVLGrab(0, 1);
    EXPECT_FALSE(capture_.Calls().empty());
}

TEST_F(EntryPoints, UndefinedCameraNamesOpenNothing) {
    for (const char* name :
         {static_cast<const char*>(nullptr), "", "Undefined", "UNDEFINED", "udefinert"}) {
        int imageSize[2] = {123, 456};
        capture_.Clear();
        EXPECT_EQ(0, openCVLPort(0, 2, name, imageSize));
        EXPECT_EQ(0, imageSize[0]);
        EXPECT_EQ(0, imageSize[1]);
        const std::string shown = name != nullptr ? name : "(null)";
        EXPECT_TRUE(
            Logged("openCVLPort: ERROR: undefined camera, grabberNo=0, portNo=2, "
                   "cameraName=" +
                   shown + "\n"))
            << shown;
    }
}

TEST_F(EntryPoints, UnknownCameraIsReportedAndLeavesTheSizeAtZero) {
    int imageSize[2] = {7, 7};
    EXPECT_EQ(0, openCVLPort(0, 2, "NoSuchCamera.1", imageSize));
    EXPECT_EQ(0, imageSize[0]);
    EXPECT_EQ(0, imageSize[1]);
    EXPECT_TRUE(Logged("openCVLPort: ERROR: cannot find camera by name:NoSuchCamera.1\n"));
}

TEST_F(EntryPoints, CallsOnAPortWithoutACameraFailWithTheLookUpError) {
    int value = 0;
    int minimum = 0;
    int maximum = 0;
    char row[16];
    EXPECT_EQ(0, doCVLGrab(0, 7));
    EXPECT_TRUE(Logged(PortError("doCVLGrab: --EXCEPTION caught  grabberNo=0, portNo=7: ", 7)));
    EXPECT_EQ(0, setProperty(0, 7, "NumberOfScans", 10));
    EXPECT_TRUE(Logged(PortError(
        "setProperty: --EXCEPTION caught grabberNo=0, portNo=7, property=NumberOfScans, value=10: ",
        7)));
    EXPECT_EQ(0, getProperty(0, 7, "Width", &value));
    EXPECT_TRUE(Logged(
        PortError("getProperty: --EXCEPTION caught grabberNo=0, portNo=7, property=Width: ", 7)));
    EXPECT_EQ(0, getPropertyRange(0, 7, "Width", &minimum, &maximum));
    EXPECT_TRUE(
        Logged(PortError("getPropertyRange: --EXCEPTION caught grabberNo=0, portNo=7: ", 7)));
    EXPECT_EQ(0, setCompleteCallback(0, 7, &Callback));
    EXPECT_TRUE(
        Logged(PortError("setCompleteCallback: --EXCEPTION caught grabberNo=0, portNo=7: ", 7)));
    EXPECT_EQ(0, getCVLGrabRow(0, 7, row, 0, 0, 15));
    EXPECT_TRUE(Logged(PortError("getCVLGrabRow: --EXCEPTION caught grabberNo=0, portNo=7: ", 7)));
}

TEST_F(EntryPoints, EnteringAndLeavingLinesFrameEachCall) {
    closeCVLPort(1, 9);
    std::vector<std::string> expected{
        "closeCVLPort: entering grabberNo=1, portNo=9\n",
        PortError("closeCVLPort: --EXCEPTION caught  grabberNo=1, portNo=9: ", 9),
        "closeCVLPort: leaving grabberNo=1, portNo=9\n"};
    EXPECT_EQ(expected, capture_.Messages());

    capture_.Clear();
    char row[4];
    getCVLGrabRow(0, 9, row, 3, 0, 3);
    EXPECT_EQ("getCVLGrabRow: entering row=3  grabberNo=0  portNo=9\n", capture_.Messages()[0]);
    capture_.Clear();
    doCVLGrab(0, 9);
    EXPECT_EQ("doCVLGrab entering grabberNo=0 portNo=9\n", capture_.Messages()[0]);
    capture_.Clear();
    setCompleteCallback(0, 9, &Callback);
    EXPECT_EQ("setCompleteCallback: entering grabberNo=0   portNo=9\n", capture_.Messages()[0]);
    capture_.Clear();
    int value = 0;
    getProperty(0, 9, "Height", &value);
    EXPECT_EQ("getProperty: portNo=9, prop=Height\n", capture_.Messages()[0]);
}

TEST_F(EntryPoints, NullPointersFromTheHostFailCleanly) {
    int value = 0;
    EXPECT_EQ(0, openCVLPort(0, 1, "Cam.1", nullptr));
    EXPECT_TRUE(Logged("openCVLPort: ERROR: imageSize is null, grabberNo=0, portNo=1\n"));
    EXPECT_EQ(0, getCVLGrabRow(0, 1, nullptr, 0, 0, 10));
    EXPECT_TRUE(Logged("getCVLGrabRow: ERROR: buffer is null, grabberNo=0, portNo=1\n"));
    EXPECT_EQ(0, getProperty(0, 1, nullptr, &value));
    EXPECT_TRUE(Logged("getProperty: ERROR: property is null, grabberNo=0, portNo=1\n"));
    EXPECT_EQ(0, getProperty(0, 1, "Width", nullptr));
    EXPECT_TRUE(Logged("getProperty: ERROR: value is null, grabberNo=0, portNo=1\n"));
    EXPECT_EQ(0, setProperty(0, 1, nullptr, 3));
    EXPECT_TRUE(Logged("setProperty: ERROR: property is null, grabberNo=0, portNo=1\n"));
    EXPECT_EQ(0, getPropertyRange(0, 1, "Width", &value, nullptr));
    EXPECT_TRUE(Logged("getPropertyRange: ERROR: maximum is null, grabberNo=0, portNo=1\n"));
    EXPECT_EQ(0, getPropertyRange(0, 1, "Width", nullptr, &value));
    EXPECT_TRUE(Logged("getPropertyRange: ERROR: minimum is null, grabberNo=0, portNo=1\n"));
    EXPECT_EQ(0, getPropertyRange(0, 1, nullptr, &value, &value));
    EXPECT_TRUE(Logged("getPropertyRange: ERROR: property is null, grabberNo=0, portNo=1\n"));
    EXPECT_EQ(0, configureCamera(nullptr, nullptr));
    EXPECT_TRUE(Logged("configureCamera: ERROR: cannot find camera by name: (null)\n"));
}

TEST_F(EntryPoints, ConfigureOfAnUnknownCameraAnswersZeroWithoutALeavingLine) {
    EXPECT_EQ(0, configureCamera(nullptr, "Nobody.1"));
    std::vector<std::string> expected{"configureCamera: entering cameraName=Nobody.1\n",
                                      "CameraList::IsCameraAvailable:  name=Nobody.1\n",
                                      "configureCamera: ERROR: cannot find camera by name: "
                                      "Nobody.1\n"};
    EXPECT_EQ(expected, capture_.Messages());
}

TEST_F(EntryPoints, HostTextsInLogLinesAreNeverFormats) {
    int imageSize[2];
    EXPECT_EQ(0, openCVLPort(0, 1, "%s%s%n.1", imageSize));
    EXPECT_TRUE(Logged("openCVLPort: entering grabberNo=0, portNo=1, cameraName=%s%s%n.1\n"));
}

// The address test comes after the name's shape: only a four-dot name has an
// address part that can be too long. A long plain camera name once logged the
// buffer warning too.
TEST_F(EntryPoints, OnlyAnAddressShapedNameCanBeLongerThanTheAddressBuffer) {
    int imageSize[2];
    const std::string warning = "CameraList::isIpAddress: ip address longer than buffer\n";
    const std::string longName = std::string(600, 'c') + "1";
    openCVLPort(0, 1, longName.c_str(), imageSize);
    EXPECT_FALSE(Logged(warning)) << "a name without dots is no address at all";

    const std::string longAddress = "1.2.3." + std::string(600, '4') + ".1";
    EXPECT_EQ(0, openCVLPort(0, 1, longAddress.c_str(), imageSize));
    EXPECT_TRUE(Logged(warning));
    EXPECT_FALSE(LoggedContaining("Adding manual camera"));
}

namespace {
int throwingProcCalls = 0;

// A C++ host whose debug procedure runs out of memory.
void ThrowingProc(const char*) {
    ++throwingProcCalls;
    throw std::bad_alloc();
}
}  // namespace

// setHWTrigger had no guard, and the log let a failing host procedure's
// exception through: it reached the host across the C boundary.
TEST_F(EntryPoints, NoExceptionLeavesAnEntryPointEvenFromAFailingLog) {
    throwingProcCalls = 0;
    setDebugMsgProc(&ThrowingProc);
    int imageSize[2];
    int value = 0;
    char row[4];
    EXPECT_EQ(1, setHWTrigger(0, 3));
    EXPECT_EQ(0, openCVLPort(0, 1, "", imageSize));
    EXPECT_EQ(0, doCVLGrab(0, 5));
    EXPECT_EQ(0, getCVLGrabRow(0, 5, row, 0, 0, 3));
    EXPECT_EQ(0, getProperty(0, 5, "Width", &value));
    EXPECT_EQ(0, getProperty(0, 5, "Width", nullptr));
    closeCVLPort(0, 5);
    EXPECT_EQ(0, configureCamera(nullptr, "Nobody.1"));
    EXPECT_EQ(1, initialize(nullptr, &ThrowingProc));
    EXPECT_EQ(1, finalize());
    EXPECT_GT(throwingProcCalls, 10) << "every line still went to the host procedure";
    setDebugMsgProc(LogCapture::Proc());
}
