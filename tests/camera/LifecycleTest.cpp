// Discovery, opening and closing cameras on ports, and the faults a real
// network of cameras shows, all through the host's entry points.

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <stdexcept>

#include "camera/CameraLifecycle.h"
#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

using Lifecycle = CameraFixture;
using icon::sim::Fault;

TEST_F(Lifecycle, DiscoveryNamesFourConfigurationsPerCameraInOrder) {
    Start();
    context_->logLevel = 3;
    EXPECT_EQ(8, getCVLNoOfSupportedCameras());
    const char** names = getCVLCameraConfigNames();
    ASSERT_NE(nullptr, names);
    std::vector<std::string> listed;
    for (size_t i = 0; names[i] != nullptr; ++i) {
        listed.emplace_back(names[i]);
    }
    ASSERT_EQ(8u, listed.size());
    EXPECT_EQ("VZ-Sim 3D - 0a00005a5602.1", listed[0]);
    EXPECT_EQ("VZ-Sim 3D - 0a00005a5602.4", listed[3]);
    EXPECT_EQ("VZ-Sim 3D - 0b00005a5602.1", listed[4]);
    EXPECT_TRUE(Logged("CameraList::Init: b/w camera found: VZ-Sim 3D - 0a00005a5602\n"));
}

TEST_F(Lifecycle, DiscoveredCameraOpensUnderAnyLetterCase) {
    Start();
    int size[2] = {0, 0};
    ASSERT_EQ(1, openCVLPort(0, 4, "vz-SIM 3d - 0A00005A5602.2", size));
    EXPECT_EQ(kColumns, size[0]);
    EXPECT_EQ(512, size[1]) << "a discovered camera has no settings here: the default scans";
    EXPECT_TRUE(
        Logged("openCVLPort: leaving -- Camera VZ-Sim 3D - 0a00005a5602 OPENED on "
               "port 4\n"));
    closeCVLPort(0, 4);
    EXPECT_TRUE(Logged("Camera::Close: leaving on port 4\n"));
}

TEST_F(Lifecycle, NothingFoundGivesAnEmptyListAndLaterScansAgain) {
    simulation_.devices.clear();
    Start();
    context_->logLevel = 3;
    EXPECT_EQ(0, getCVLNoOfSupportedCameras());
    const char** names = getCVLCameraConfigNames();
    ASSERT_NE(nullptr, names);
    EXPECT_EQ(nullptr, names[0]);
    EXPECT_TRUE(Logged("CameraList::Init: WARNING: no supported cameras found\n"));
    capture_.Clear();
    getCVLNoOfSupportedCameras();
    EXPECT_TRUE(Logged("Scanning for Ethernet Cameras...\n")) << "a failed discovery runs again";
}

TEST_F(Lifecycle, ManualCameraByAddressOpensWithItsSettings) {
    Start();
    const auto [width, height] = OpenPort(1, kCameraA);
    EXPECT_EQ(kColumns, width);
    EXPECT_EQ(kScans, height);
    EXPECT_TRUE(Logged("openCVLPort: Adding manual camera:192.168.0.10.1\n"));
    EXPECT_TRUE(Logged("CameraList::Create: Created camera by IP 192.168.0.10\n"));
    EXPECT_TRUE(Logged("Camera(192.168.0.10) status 1\n"));
    EXPECT_TRUE(
        Logged("WARNING: Camera(192.168.0.10) configuration file not specified, using "
               "default\n"));
    EXPECT_EQ(3, context_->logLevel.load()) << "the first open puts the camera's log settings "
                                               "in force";
}

TEST_F(Lifecycle, PortsShareTheCameraAndTheLastCloseShutsItDown) {
    Start();
    OpenPort(1, kCameraA, 1);
    OpenPort(2, kCameraA, 2);
    int size[2];
    EXPECT_EQ(0, openCVLPort(0, 2, "192.168.0.10.3", size));
    EXPECT_TRUE(Logged("Camera::Open: ERROR:  192.168.0.10 is already open on port 2\n"));

    ASSERT_EQ(1, doCVLGrab(0, 2));
    EXPECT_TRUE(WaitForImages(1, 1)) << "one buffer goes to the adapters of every port";
    EXPECT_TRUE(WaitForImages(2, 1));

    capture_.Clear();
    closeCVLPort(0, 1);
    EXPECT_TRUE(Logged("Camera::Close: not all image handlers closed, port = 1\n"));
    EXPECT_FALSE(LoggedContaining("Camera::Close: Camera on port"));
    ASSERT_EQ(1, doCVLGrab(0, 2));
    EXPECT_TRUE(WaitForImages(2, 2)) << "the other port keeps working";

    closeCVLPort(0, 2);
    EXPECT_TRUE(Logged("Camera::Close: Camera on port 2 stopped\n"));
    EXPECT_TRUE(Logged("Camera::Close: Frame grabber on port 2 disconnected\n"));
    EXPECT_TRUE(Logged("Camera::Close: leaving on port 2\n"));
    EXPECT_EQ(0, doCVLGrab(0, 2));
}

TEST_F(Lifecycle, UnreachableCameraFailsAloneAndTheOtherKeepsWorking) {
    simulation_.devices[1].unreachable = true;
    Start();
    int size[2] = {7, 7};
    EXPECT_EQ(0, openCVLPort(0, 3, "192.168.0.11.1", size));
    EXPECT_EQ(0, size[0]);
    EXPECT_TRUE(
        Logged("Camera::Open: Error on port 3: Init camera -- VaveZAZ API error code: "
               "3(icon::Camera::E_CAMERA_NOT_RESPONDING)\n"));
    EXPECT_TRUE(
        Logged("openCVLPort: ERROR: camera not opened, grabberNo=0, portNo=3, "
               "cameraName=192.168.0.11.1\n"));
    OpenPort(1, kCameraA);
    ASSERT_EQ(1, doCVLGrab(0, 1));
    EXPECT_TRUE(WaitForImages(1, 1));
}

TEST_F(Lifecycle, FailedStartLeavesTheCameraClosedAndAnotherOpenSucceeds) {
    simulation_.devices[0].faults.push_back(Fault{"Camera start", 15, Fault::ONCE, 1});
    Start();
    int size[2] = {7, 7};
    EXPECT_EQ(0, openCVLPort(0, 1, "192.168.0.10.1", size));
    EXPECT_EQ(0, size[0]) << "no image size for a port that did not open";
    EXPECT_TRUE(
        Logged("Camera::Open: Error on port 1: Camera start -- VaveZAZ API error code: "
               "15(icon::Camera::E_ERROR)\n"));
    EXPECT_TRUE(Logged("Camera::CleanupOnClose: leaving\n"));
    OpenPort(1, kCameraA);
    ASSERT_EQ(1, doCVLGrab(0, 1));
    EXPECT_TRUE(WaitForImages(1, 1));
}

TEST_F(Lifecycle, MissingParameterFileFallsBackToTheDefaultConfiguration) {
    Start("ConfigurationFile=missing.prm\n");
    OpenPort(1, kCameraA);
    const std::string path = (systemDir_ / "missing.prm").string();
    EXPECT_TRUE(LoggedContaining("ERROR: Camera(192.168.0.10) failed to load configuration file " +
                                 path + ": Load parameters -- VaveZAZ API error code: 2"));
    EXPECT_TRUE(Logged("WARNING: Camera(192.168.0.10) will use default configuration\n"));
    ASSERT_EQ(1, doCVLGrab(0, 1));
    EXPECT_TRUE(WaitForImages(1, 1));
}

TEST_F(Lifecycle, StatusAtConnectDecidesBetweenStopAndReset) {
    struct Case {
        int status;
        const char* line;
    };
    for (const Case& c : {Case{3, "Camera(192.168.0.10) was running, sending stop\n"},
                          Case{0,
                               "Camera(192.168.0.10) is in an odd state (status 0), sending "
                               "reboot\n"},
                          Case{7,
                               "Camera(192.168.0.10) is in an odd state (status 7), sending "
                               "reboot\n"}}) {
        simulation_.devices[0].startStatus = c.status;
        Start();
        OpenPort(1, kCameraA);
        EXPECT_TRUE(Logged(c.line)) << c.status;
        const int before = ImagesAnnounced(1);
        ASSERT_EQ(1, doCVLGrab(0, 1));
        EXPECT_TRUE(WaitForImages(1, before + 1)) << c.status;
        finalize();
        capture_.Clear();
    }
}

TEST_F(Lifecycle, FinalizeClosesOpenCamerasAndTheApi) {
    Start();
    OpenPort(1, kCameraA);
    OpenPort(2, kCameraB);
    doCVLGrab(0, 1);
    EXPECT_EQ(1, finalize());
    EXPECT_TRUE(Logged("Camera::~Camera: camera 192.168.0.10\n"));
    EXPECT_TRUE(Logged("Camera::Close: leaving on port -1\n"));
    EXPECT_TRUE(Logged("CameraList::Destroy: leaving\n"));
    EXPECT_EQ(0, doCVLGrab(0, 1));
}

TEST_F(Lifecycle, PortsCannotBeOpenedOrClosedFromInsideTheirCompletionCallback) {
    Start();
    std::atomic<int> closeCalls{0};
    std::atomic<int> openResult{-1};
    onImage = [&](int port) {
        if (port == 1 && closeCalls++ == 0) {
            closeCVLPort(0, 1);
            int size[2];
            openResult = openCVLPort(0, 2, "192.168.0.10.2", size);
        }
    };
    OpenPort(1, kCameraA);
    ASSERT_EQ(1, doCVLGrab(0, 1));
    ASSERT_TRUE(WaitForImages(1, 1)) << "the callback must return instead of hanging";
    EXPECT_EQ(0, openResult.load());
    EXPECT_TRUE(
        LoggedContaining("a port cannot be closed from inside its camera's completion "
                         "callback"));
    ASSERT_EQ(1, doCVLGrab(0, 1)) << "the port stays open and mapped";
    EXPECT_TRUE(WaitForImages(1, 2));
    finalize();  // no callback may outlive the counters it uses
}

// The camera list used to be destroyed on the grabber's thread, under the
// hand-off that was calling the host: the camera's destructor threw out of its
// close and the host process aborted.
TEST_F(Lifecycle, FinalizeFromInsideACompletionCallbackFailsAndEverythingKeepsWorking) {
    Start();
    std::atomic<int> finalizeResult{-1};
    onImage = [&](int port) {
        if (port == 1 && finalizeResult == -1) {
            finalizeResult = finalize();
        }
    };
    const auto [width, height] = OpenPort(1, kCameraA);
    OpenPort(2, kCameraB);
    ASSERT_EQ(1, doCVLGrab(0, 1));
    ASSERT_TRUE(WaitForImages(1, 1));
    EXPECT_EQ(0, finalizeResult.load());
    EXPECT_TRUE(
        Logged("finalize: --EXCEPTION caught: CameraList::DestroyInstance: the camera list cannot "
               "be destroyed from inside a completion callback\n"));
    EXPECT_EQ(1, context_->refCount.load()) << "a failed finalize counts nothing";

    ASSERT_EQ(1, doCVLGrab(0, 1));
    ASSERT_EQ(1, doCVLGrab(0, 2));
    EXPECT_TRUE(WaitForImages(1, 2));
    EXPECT_TRUE(WaitForImages(2, 1)) << "the other camera keeps working too";
    ReadImage(1, width, height);
    EXPECT_EQ(1, finalize());
    EXPECT_TRUE(Logged("CameraList::Destroy: leaving\n"));
}

// Some editors save the settings file with a UTF-8 byte-order mark; read as
// part of the first line, it hid the first section and its settings.
TEST_F(Lifecycle, SettingsFileWithAByteOrderMarkKeepsItsFirstSection) {
    Start();
    std::ofstream(systemDir_ / "VaveZAZ.ini", std::ios::binary)
        << "\xEF\xBB\xBF[192.168.0.10]\r\nNumberOfScans=24\r\nBufferSize=4\r\n";
    const auto [width, height] = OpenPort(1, kCameraA);
    EXPECT_EQ(24, height);
    ASSERT_EQ(1, doCVLGrab(0, 1));
    EXPECT_TRUE(WaitForImages(1, 1));
    ReadImage(1, width, height);
}

// A port opened after the last finalize used to start a camera that no
// finalize would ever stop.
TEST_F(Lifecycle, CameraCallsAfterTheLastFinalizeAreRefusedUntilTheNextInitialize) {
    Start();
    OpenPort(1, kCameraA);
    ASSERT_EQ(1, finalize());
    int size[2] = {-1, -1};
    EXPECT_EQ(0, openCVLPort(0, 1, "192.168.0.10.1", size));
    EXPECT_EQ(0, doCVLGrab(0, 1));
    int value = 0;
    EXPECT_EQ(0, getProperty(0, 1, "Width", &value));
    EXPECT_TRUE(LoggedContaining("the driver is finalized; call initialize first"));
    EXPECT_FALSE(Logged("Camera::Open: entering port=1\n"));
    ASSERT_EQ(1, initialize(systemDir_.string().c_str(), LogCapture::Proc()));
    OpenPort(1, kCameraA);
}

// The phases in the order a camera lives them; a move that skips a phase is
// refused with both names, and buffers pass only while open with no close
// under way.
TEST(CameraLifecyclePhases, MovesFollowTheDiagramAndBuffersPassOnlyWhileOpen) {
    using Phase = CameraLifecycle::Phase;
    CameraLifecycle lifecycle;
    EXPECT_FALSE(lifecycle.HasDevice());
    try {
        lifecycle.MoveTo(Phase::Open);
        FAIL() << "a closed camera opens through Opening";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ("Camera lifecycle: no move from closed to open", e.what());
    }
    lifecycle.MoveTo(Phase::Opening);
    EXPECT_TRUE(lifecycle.HasDevice());
    EXPECT_FALSE(lifecycle.AcceptsBuffers());
    lifecycle.MoveTo(Phase::Open);
    EXPECT_TRUE(lifecycle.AcceptsBuffers());
    {
        CameraLifecycle::CloseUnderWay closing(lifecycle);
        EXPECT_FALSE(lifecycle.AcceptsBuffers()) << "a port's close stops buffers meanwhile";
    }
    EXPECT_TRUE(lifecycle.AcceptsBuffers());
    EXPECT_THROW(lifecycle.MoveTo(Phase::Closed), std::logic_error);
    lifecycle.MoveTo(Phase::Closing);
    lifecycle.MoveTo(Phase::Closed);
    lifecycle.MoveTo(Phase::Opening);
    lifecycle.MoveTo(Phase::Open);
    lifecycle.RefuseBuffers();
    lifecycle.RefuseBuffers();
    EXPECT_FALSE(lifecycle.AcceptsBuffers()) << "refused for good";
}
