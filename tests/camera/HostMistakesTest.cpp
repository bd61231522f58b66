// A clumsy host: ports it should not name, a port taken twice, rows read
// before there is an image, settings the camera cannot take. Each mistake
// gives a clear error and leaves every other port working.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

namespace {

using HostMistakes = CameraFixture;
using icon::sim::Fault;

bool AllZero(const std::vector<unsigned char>& image) {
    return std::all_of(image.begin(), image.end(), [](unsigned char pixel) { return pixel == 0; });
}

}  // namespace

// Port -1 means "every port" inside the driver: a host that opened it could
// close all ports of a camera with it and leave them mapped.
TEST_F(HostMistakes, NegativePortsAreRefusedAndCloseNothing) {
    Start();
    OpenPort(1, kCameraA, 1);
    int size[2] = {7, 7};
    EXPECT_EQ(0, openCVLPort(0, -1, "192.168.0.10.2", size));
    EXPECT_EQ(0, size[0]);
    EXPECT_EQ(0, size[1]);
    EXPECT_TRUE(
        Logged("openCVLPort: ERROR: invalid port, grabberNo=0, portNo=-1, "
               "cameraName=192.168.0.10.2\n"));
    EXPECT_EQ(0, openCVLPort(0, -7, "192.168.0.11.1", size));

    capture_.Clear();
    closeCVLPort(0, -1);
    EXPECT_TRUE(Logged("closeCVLPort: ERROR: invalid port, grabberNo=0, portNo=-1\n"));
    EXPECT_TRUE(Logged("closeCVLPort: leaving grabberNo=0, portNo=-1\n"));
    EXPECT_FALSE(Logged("Camera::Close: entering\n"));

    ASSERT_EQ(1, doCVLGrab(0, 1)) << "port 1 stays open and mapped";
    EXPECT_TRUE(WaitForImages(1, 1));
}

// The second open used to replace the mapping: camera A streamed on with no
// way to close its port, and the port could never be opened on A again.
TEST_F(HostMistakes, APortOpenOnOneCameraIsRefusedToAnother) {
    Start();
    OpenPort(3, kCameraA);
    capture_.Clear();
    int size[2] = {7, 7};
    EXPECT_EQ(0, openCVLPort(0, 3, "192.168.0.11.1", size));
    EXPECT_EQ(0, size[0]);
    EXPECT_EQ(0, size[1]);
    EXPECT_TRUE(
        Logged("openCVLPort: ERROR: port 3 is open on camera 192.168.0.10; close it first, "
               "grabberNo=0, portNo=3, cameraName=192.168.0.11.1\n"));
    EXPECT_FALSE(Logged("Opening camera 192.168.0.11 on port 3\n")) << "camera B is not touched";

    ASSERT_EQ(1, doCVLGrab(0, 3));
    EXPECT_TRUE(WaitForImages(3, 1)) << "camera A still serves the port";
    closeCVLPort(0, 3);
    EXPECT_TRUE(Logged("Camera::Close: leaving on port 3\n"));
    OpenPort(3, kCameraB);
    ASSERT_EQ(1, doCVLGrab(0, 3));
    EXPECT_TRUE(WaitForImages(3, 2)) << "once closed, the port opens on the other camera";
}

// Rows used to come from fresh heap memory before the first image, and a
// reopened port could show the image of its previous opening.
TEST_F(HostMistakes, RowsBeforeTheFirstImageAndAfterReopeningAreZero) {
    Start();
    auto [width, height] = OpenPort(1, kCameraA);
    EXPECT_TRUE(AllZero(ReadImage(1, width, height))) << "before the first image";
    ASSERT_EQ(1, doCVLGrab(0, 1));
    ASSERT_TRUE(WaitForImages(1, 1));
    EXPECT_FALSE(AllZero(ReadImage(1, width, height))) << "the laser line is on the image";
    closeCVLPort(0, 1);
    std::tie(width, height) = OpenPort(1, kCameraA);
    EXPECT_TRUE(AllZero(ReadImage(1, width, height))) << "after reopening";
}

TEST_F(HostMistakes, AFailedOpenReportsNoImageSize) {
    simulation_.devices[0].faults.push_back(Fault{"Camera start", 15, Fault::ONCE, 1});
    Start();
    int size[2] = {7, 7};
    EXPECT_EQ(0, openCVLPort(0, 1, "192.168.0.10.1", size));
    EXPECT_EQ(0, size[0]) << "a port that did not open has no image";
    EXPECT_EQ(0, size[1]);
}

// The value would reach the frame grabber at the next first open of a camera
// whose settings file does not hold the key, and every open would fail until
// finalize. It is refused where the host writes it.
TEST_F(HostMistakes, ANegativeBufferSizeIsRefusedAndTheNextOpenSucceeds) {
    Start();
    const char* const discovered = "VZ-Sim 3D - 0a00005a5602.1";
    int size[2] = {7, 7};
    ASSERT_EQ(1, openCVLPort(0, 1, discovered, size));
    EXPECT_EQ(0, setProperty(0, 1, "BufferSize", -5));
    closeCVLPort(0, 1);
    capture_.Clear();
    EXPECT_EQ(1, openCVLPort(0, 1, discovered, size));
    EXPECT_GT(size[0], 0);
    EXPECT_FALSE(LoggedContaining("E_FG_BUFFER_SIZE"));
    ASSERT_EQ(1, openCVLPort(0, 2, "VZ-Sim 3D - 0b00005a5602.1", size));
    ASSERT_EQ(1, setCompleteCallback(0, 2, &CameraFixture::OnImageComplete));
    ASSERT_EQ(1, doCVLGrab(0, 2));
    EXPECT_TRUE(WaitForImages(2, 1)) << "the other camera is not disturbed";
}
