// Several ports of one camera share every buffer. What each port's host is
// told about must stay as it was told: an image is not rewritten under a host
// that reads it, a slow host on one port does not hold up the others, and a
// port shows nothing before its first image. VAVEZAZ_TORN_IMAGES sets how
// many images the two-ports case judges (tools/torn-images.sh runs 10,000).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>

#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

namespace {

using Clock = std::chrono::steady_clock;
using Image = std::vector<unsigned char>;

int TornImagesToJudge() {
    const char* text = std::getenv("VAVEZAZ_TORN_IMAGES");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 3000;
}

class BufferFlow : public CameraFixture {
  protected:
    // Wide rows take a while to write: long enough for a reader to be caught.
    static constexpr int kWideColumns = 1536;

    // Camera A replays two buffers, one after the other: the first shows a
    // box across the whole belt in every scan, the second the bare belt. Every
    // row of one differs from every row of the other, so an image made of
    // both shows.
    void AlternateTwoBuffers() {
        icon::sim::DeviceConfig& device = simulation_.devices[0];
        device.sensor =
            icon::sim::SensorGeometry::standard(kWideColumns, kRows, 600.0, 200.0, 0.0005);
        device.noise = 0.0;
        device.replayBuffers = 2;
        const double millimetresPerScan =
            static_cast<double>(device.pulsesPerScan) / device.pulsesPerMillimeter;
        device.scene.length = 2 * kScans * millimetresPerScan;
        device.scene.objects.clear();
        icon::sim::SceneObject box;
        box.x = 0.0;
        box.y = 0.0;
        box.width = 2 * device.scene.beltWidth;
        box.length = kScans * millimetresPerScan;
        box.height = 60.0;
        device.scene.objects.push_back(box);
    }

    // Adds an image section, e.g. for a 3D image on "<camera>.<suffix>".
    void ImageSettings(const char* camera, int suffix, const std::string& lines) {
        std::ofstream(systemDir_ / "VaveZAZ.ini", std::ios::app)
            << "[" << camera << "." << suffix << "]\n"
            << lines;
    }

    Image ReadRows(int port, int width) {
        Image image(static_cast<size_t>(width * kScans), 0xEE);
        for (int row = 0; row < kScans; ++row) {
            getCVLGrabRow(0, port, image.data() + static_cast<size_t>(row * width), row, 0,
                          width - 1);
        }
        return image;
    }

    // Images the driver announced on the port, as its statistics count them:
    // counted before the host is called, so a read that sees none added saw
    // no later image made readable.
    int AnnouncedByDriver(int port) {
        const std::string text = Statistics(port);
        const size_t at = text.find("CorvaneCB:\t\t");
        return at == std::string::npos ? -1 : std::stoi(text.substr(at + 11));
    }

    bool WaitForChange(int port, int from) {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (ImagesAnnounced(port) == from) {
            if (Clock::now() > deadline) {
                return false;
            }
            std::this_thread::yield();
        }
        return true;
    }
};

}  // namespace

// Each buffer used to be written into the one image of every port while the
// host of another port was still copying its rows: images of two buffers.
TEST_F(BufferFlow, TwoPortsOfACameraReadOnAnotherThreadGetWholeImages) {
    AlternateTwoBuffers();
    Start();
    context_->logLevel = 1;
    const int width = OpenPort(1, kCameraA, 1).first;
    OpenPort(2, kCameraA, 2);
    // The images a buffer can give, read in port 1's callback, where no other
    // buffer can reach the port.
    std::mutex wholeMutex;
    std::set<Image> whole;
    onImage = [&](int port) {
        if (port == 1) {
            Image image = ReadRows(1, width);
            std::lock_guard<std::mutex> lock(wholeMutex);
            whole.insert(std::move(image));
        }
    };
    for (int grab = 0; grab < 8; ++grab) {
        const int before = ImagesAnnounced(2);
        ASSERT_EQ(1, doCVLGrab(0, 2));
        ASSERT_TRUE(WaitForImages(2, before + 1));
    }
    onImage = nullptr;
    ASSERT_EQ(2u, whole.size()) << "the two buffers give two images";

    std::atomic<bool> stop{false};
    std::thread grabber([&] {
        while (!stop) {
            const int before = ImagesAnnounced(2);
            if (doCVLGrab(0, 2) != 1 || !WaitForImages(2, before + 1)) {
                return;
            }
        }
    });
    // An image is judged when no later one was announced on port 1 while its
    // rows were read: until then the host may count on it.
    const int toJudge = TornImagesToJudge();
    int judged = 0;
    int torn = 0;
    int seen = ImagesAnnounced(1);
    const auto deadline = Clock::now() + std::chrono::seconds(120);
    while (judged < toJudge && Clock::now() < deadline) {
        ASSERT_TRUE(WaitForChange(1, seen));
        seen = ImagesAnnounced(1);
        // The driver counts an image just before it shows it, the host's
        // callback just after: while the two differ the last image counted
        // may not be shown yet, and a read could still see its predecessor.
        const int announced = AnnouncedByDriver(1);
        if (ImagesAnnounced(1) != announced) {
            continue;
        }
        const Image image = ReadRows(1, width);
        if (AnnouncedByDriver(1) != announced) {
            continue;
        }
        ++judged;
        torn += whole.count(image) == 0 ? 1 : 0;
    }
    stop = true;
    grabber.join();
    std::cout << judged << " port-1 images judged, " << torn << " torn\n";
    EXPECT_EQ(toJudge, judged);
    EXPECT_EQ(0, torn);
}

// The 3D port used to give its buffer back only after its host's callback,
// so a slow 3D host held up every image of the camera's other ports.
TEST_F(BufferFlow, ASlowThreeDHostDoesNotSlowTheGrayscalePortOfItsCamera) {
    Start();
    ImageSettings(kCameraA, 2, "ImageFormat=3D (XYZ)\n");
    context_->logLevel = 1;
    OpenPort(1, kCameraA, 1);
    OpenPort(2, kCameraA, 2);
    std::mutex mutex;
    std::condition_variable changed;
    bool insideSlowCallback = false;
    bool release = false;
    onImage = [&](int port) {
        if (port != 2) {
            return;
        }
        std::unique_lock<std::mutex> lock(mutex);
        insideSlowCallback = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return release; });
    };
    ASSERT_EQ(1, setProperty(0, 1, "continuous", 1));
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(
            changed.wait_for(lock, std::chrono::seconds(10), [&] { return insideSlowCallback; }));
    }
    const int before = ImagesAnnounced(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int during = ImagesAnnounced(1) - before;
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    changed.notify_all();
    ASSERT_EQ(1, setProperty(0, 1, "continuous", 0));
    // The callback uses this test's locals: the 3D port goes before they do.
    closeCVLPort(0, 2);
    // 625 buffers a second reach the camera; a loaded machine hands on fewer.
    EXPECT_GT(during, 50) << "grayscale images in half a second of a 3D callback";
}

// A 3D port used to answer the sensor's width and that many (0, 0, 0) points
// before its first cloud, and a reopened port the last session's image.
TEST_F(BufferFlow, APortShowsNothingBeforeItsFirstImage) {
    Start();
    ImageSettings(kCameraA, 2, "ImageFormat=3D (XYZ)\n");
    const int width = OpenPort(1, kCameraA, 1).first;
    int size[2] = {-1, -1};
    ASSERT_EQ(1, openCVLPort(0, 2, "192.168.0.10.2", size));
    EXPECT_EQ(0, size[0]) << "no points yet";
    ASSERT_EQ(1, setCompleteCallback(0, 2, &CameraFixture::OnImageComplete));
    EXPECT_EQ(0, Property(2, "Width"));
    float point[3] = {-1.0f, -1.0f, -1.0f};
    getCVLGrabRow(0, 2, point, 0, 0, 0);
    EXPECT_EQ(-1.0f, point[2]) << "no point is copied";

    ASSERT_EQ(1, doCVLGrab(0, 1));
    ASSERT_TRUE(WaitForImages(1, 1));
    ASSERT_NE(Image(static_cast<size_t>(width * kScans), 0), ReadRows(1, width));
    closeCVLPort(0, 1);
    OpenPort(1, kCameraA, 1);
    EXPECT_EQ(Image(static_cast<size_t>(width * kScans), 0), ReadRows(1, width))
        << "a reopened port is a fresh port";
    ASSERT_EQ(1, setProperty(0, 1, "continuous", 1));
    ASSERT_TRUE(WaitForImages(2, 2));
    EXPECT_GT(Property(2, "Width"), 0) << "a cloud has come";
}

// A 3D port's callback under way when the host closes the port used to find
// the port gone ("No image adapters at port 2") although the close waits for
// it: the adapter left the registry first and finished its callback after.
TEST_F(BufferFlow, AThreeDCallbackUnderWayWhenItsPortClosesStillReadsItsPort) {
    Start();
    ImageSettings(kCameraA, 2, "ImageFormat=3D (XYZ)\n");
    OpenPort(2, kCameraA, 2);
    std::mutex mutex;
    std::condition_variable changed;
    bool inside = false;
    std::atomic<int> width{-1};
    onImage = [&](int port) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            inside = true;
        }
        changed.notify_all();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        width = Property(port, "Width");
    };
    ASSERT_EQ(1, doCVLGrab(0, 2));
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return inside; }));
    }
    closeCVLPort(0, 2);
    EXPECT_GT(width.load(), 0) << "read after the close had begun";
    EXPECT_FALSE(LoggedContaining("No image adapters at port 2"));
}
