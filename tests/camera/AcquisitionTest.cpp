// Grabs end to end: the handshake, continuous mode, the buffer hand-off and
// release, the statistics, and the host's row reads.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

using Acquisition = CameraFixture;
using icon::sim::Fault;

TEST_F(Acquisition, GrabbedImageShowsTheLaserLineOnTheBelt) {
    Start();
    const auto [width, height] = OpenPort(1, kCameraA);
    ASSERT_EQ(1, doCVLGrab(0, 1));
    ASSERT_TRUE(WaitForImages(1, 1));
    std::vector<unsigned char> image = ReadImage(1, width, height);
    // Each pixel is the row of the laser line in its column: the empty belt
    // lies at the sensor's last rows, anything on it higher up, 0 unseen.
    size_t onBelt = 0;
    for (unsigned char pixel : image) {
        EXPECT_LE(pixel, kRows);
        onBelt += pixel >= kRows - 3 ? 1 : 0;
    }
    EXPECT_GT(onBelt, image.size() / 4) << "most of the view is empty belt";
    EXPECT_TRUE(Logged("Camera::ProcessBuffer: Grab finished\n"));
    EXPECT_TRUE(
        Logged("ImageAdapter::NotifyCorvaneImageComplete: grab succesful. calling CB, "
               "port=1\n"));
}

TEST_F(Acquisition, RowCopiesStayInsideTheRow) {
    Start();
    const auto [width, height] = OpenPort(1, kCameraA);
    ASSERT_EQ(1, doCVLGrab(0, 1));
    ASSERT_TRUE(WaitForImages(1, 1));
    std::vector<unsigned char> row(static_cast<size_t>(width) + 64, 0xEE);
    EXPECT_EQ(1, getCVLGrabRow(0, 1, row.data(), 0, 0, width + 1000));
    EXPECT_TRUE(std::all_of(row.begin() + width, row.end(), [](unsigned char b) {
        return b == 0xEE;
    })) << "columns past the row are not copied";
    EXPECT_EQ(0, getCVLGrabRow(0, 1, row.data(), 0, 10, 5));
    EXPECT_TRUE(
        Logged("getCVLGrabRow: ERROR: invalid column range 10 to 5, grabberNo=0, "
               "portNo=1\n"));
    EXPECT_EQ(0, getCVLGrabRow(0, 1, row.data(), height, 0, width - 1));
    EXPECT_TRUE(LoggedContaining("ImageBuffer::GetLine: ERROR: line index out of range: " +
                                 std::to_string(height)));
}

TEST_F(Acquisition, SecondGrabWhilePendingIsCountedNotQueued) {
    // A slow line: both grabs are made long before the next buffer is full.
    simulation_.devices[0].lineRate = 200.0;
    Start();
    OpenPort(1, kCameraA);
    EXPECT_EQ(1, doCVLGrab(0, 1));
    EXPECT_EQ(1, doCVLGrab(0, 1));
    ASSERT_TRUE(WaitForImages(1, 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(1, ImagesAnnounced(1));
    EXPECT_TRUE(
        Logged("Camera::Grab: WARNING: grab called while previous grab not finished "
               "yet\n"));
    const std::string stats = Statistics(1);
    EXPECT_NE(std::string::npos, stats.find("GrabInProgress:\t1\n")) << stats;
    EXPECT_NE(std::string::npos, stats.find("CorvaneCB:\t\t1\n")) << stats;
}

TEST_F(Acquisition, ContinuousModeDeliversEveryBufferUntilSwitchedOff) {
    Start();
    OpenPort(1, kCameraA);
    EXPECT_EQ(1, setProperty(0, 1, "continuous", 1));
    EXPECT_EQ(1, Property(1, "CONTINUOUS"));
    ASSERT_TRUE(WaitForImages(1, 5));
    EXPECT_EQ(1, setProperty(0, 1, "continous", 0));
    EXPECT_EQ(0, Property(1, "continuous"));
    const int settled = ImagesAnnounced(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_LE(ImagesAnnounced(1), settled + 1) << "at most the buffer in flight completes";
}

TEST_F(Acquisition, LostPacketsAreCountedAlsoForDroppedBuffers) {
    simulation_.devices[0].lostPacketPattern = {0, 3, 0, 2};
    Start();
    OpenPort(1, kCameraA);
    EXPECT_EQ(1, doCVLGrab(0, 1));
    ASSERT_TRUE(WaitForImages(1, 1));
    EXPECT_TRUE(Logged("WARNING: Camera(192.168.0.10): 3 packets lost\n"));
    EXPECT_TRUE(Logged("WARNING: Camera(192.168.0.10): 2 packets lost\n"));
    const std::string stats = Statistics(1);
    const size_t at = stats.find("PacketsLost:\t\t");
    ASSERT_NE(std::string::npos, at) << stats;
    const int lost = std::stoi(stats.substr(at + 14));
    EXPECT_GE(lost, 5 * kScans / 4) << "every buffer so far, dropped or not, is counted";
}

TEST_F(Acquisition, FailedExtractionSkipsOneImageAndTheNextGrabWorks) {
    simulation_.faults.push_back(Fault{"ExtractionFilter::apply", 5004, Fault::ONCE, 1});
    Start();
    const auto [width, height] = OpenPort(1, kCameraA);
    EXPECT_EQ(1, doCVLGrab(0, 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(0, ImagesAnnounced(1));
    EXPECT_TRUE(
        LoggedContaining("Camera::ProcessEvent: ERROR: Failed to retrieve image: Apply Sum "
                         "filter -- VaveZAZ API error code: 5004"));
    EXPECT_EQ(1, doCVLGrab(0, 1));
    ASSERT_TRUE(WaitForImages(1, 1));
    ReadImage(1, width, height);
}

TEST_F(Acquisition, SlowHostCallbackDropsBuffersInsteadOfFallingBehind) {
    Start();
    OpenPort(1, kCameraA);
    onImage = [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(20)); };
    setProperty(0, 1, "continuous", 1);
    ASSERT_TRUE(WaitForImages(1, 4));
    setProperty(0, 1, "continuous", 0);
    const std::string stats = Statistics(1);
    ASSERT_FALSE(stats.empty());
    EXPECT_EQ(std::string::npos, stats.find("Frames:\t\t0\n")) << stats;
    closeCVLPort(0, 1);
    EXPECT_TRUE(Logged("Camera::Close: leaving on port 1\n"));
}

TEST_F(Acquisition, ScanCountChangedWhileStreamingDoesNotResizeLaterPorts) {
    Start();
    OpenPort(1, kCameraA, 1);
    EXPECT_EQ(1, setProperty(0, 1, "NumberOfScans", 4 * kScans));
    EXPECT_EQ(4 * kScans, Property(1, "NumberOfScans"));
    const auto [width, height] = OpenPort(2, kCameraA, 2);
    EXPECT_EQ(kScans, height) << "the buffers still hold the scans the camera started with";
    ASSERT_EQ(1, doCVLGrab(0, 2));
    ASSERT_TRUE(WaitForImages(2, 1));
    ReadImage(2, width, height);
}

TEST_F(Acquisition, ResetStatsClearsCameraAndPortCounters) {
    Start();
    OpenPort(1, kCameraA);
    doCVLGrab(0, 1);
    ASSERT_TRUE(WaitForImages(1, 1));
    EXPECT_EQ(1, setProperty(0, 1, "ResetStats", 1));
    const std::string stats = Statistics(1);
    EXPECT_NE(std::string::npos, stats.find("CorvaneCB:\t\t0\n")) << stats;
    EXPECT_NE(std::string::npos, stats.find("GrabInProgress:\t0\n")) << stats;
}
