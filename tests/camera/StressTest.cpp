// Many cycles of opening, grabbing in both modes, reading rows on other
// threads and closing with buffers in flight, on two cameras at once. Run
// under the sanitizers it shows races, leaks and hangs; everywhere it checks
// that every image the host is told about can be read whole. CI runs a few
// cycles; tools/cycle-run.sh sets VAVEZAZ_STRESS_CYCLES for a long run.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

namespace {

int Cycles() {
    const char* text = std::getenv("VAVEZAZ_STRESS_CYCLES");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 6;
}

const int kCycles = Cycles();

class Stress : public CameraFixture {
  protected:
    // An image is whole when every row reads and shows the belt somewhere.
    static bool ReadWhole(int port) {
        std::vector<unsigned char> row(kColumns);
        for (int r = 0; r < kScans; ++r) {
            if (getCVLGrabRow(0, port, row.data(), r, 0, kColumns - 1) != 1) {
                return false;
            }
            for (unsigned char pixel : row) {
                if (pixel > kRows) {
                    return false;
                }
            }
        }
        return true;
    }

    bool WaitBriefly(int port, int count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (ImagesAnnounced(port) < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    std::atomic<int> wholeImages_{0};
    std::atomic<int> brokenImages_{0};
    // A long run keeps one cycle's log lines at a time: each cycle's are
    // judged, then let go.
    void JudgeCycleLog() {
        failedImageLines_ += LoggedContaining("Failed to retrieve image") ? 1 : 0;
        failedImageLines_ += LoggedContaining("ERROR while processing image") ? 1 : 0;
        capture_.Clear();
    }

    void Report(const char* what) {
        std::cout << kCycles << " cycles (" << what << "): " << wholeImages_.load()
                  << " whole images, " << brokenImages_.load() << " broken, " << failedImageLines_
                  << " cycles with an image failure logged\n";
    }

    std::atomic<bool> closing_{false};
    int failedImageLines_ = 0;
};

}  // namespace

TEST_F(Stress, OpenGrabReadAndCloseWithBuffersInFlight) {
    Start();
    onImage = [this](int port) {
        // Port 3 streams continuously; its rows are read before the callback
        // returns, while the buffer is still lent to the port.
        if (port == 3 && !closing_) {
            (ReadWhole(3) ? wholeImages_ : brokenImages_)++;
        }
    };
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        closing_ = false;
        OpenPort(1, kCameraA, 1);
        OpenPort(2, kCameraA, 2);
        OpenPort(3, kCameraB, 1);
        ASSERT_EQ(1, setProperty(0, 3, "continuous", 1));

        // One host thread serves both ports of camera A: a grab on either port
        // renews the images of both.
        std::thread reader([this] {
            for (int grab = 0; grab < 50 && !closing_; ++grab) {
                const int one = ImagesAnnounced(1) + 1;
                const int two = ImagesAnnounced(2) + 1;
                if (doCVLGrab(0, 1) != 1 || !WaitBriefly(1, one) || !WaitBriefly(2, two)) {
                    return;
                }
                const bool whole = ReadWhole(1) && ReadWhole(2);
                if (!closing_) {
                    (whole ? wholeImages_ : brokenImages_)++;
                }
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 10 * (cycle % 6)));
        closing_ = true;
        closeCVLPort(0, 3);  // still streaming
        closeCVLPort(0, 1);
        closeCVLPort(0, 2);
        reader.join();
        JudgeCycleLog();
    }
    Report("grayscale");
    EXPECT_EQ(0, brokenImages_.load());
    EXPECT_GT(wholeImages_.load(), kCycles);
    EXPECT_EQ(0, failedImageLines_);
}

// 3D ports on both cameras stream continuously; the host reads every cloud in
// its callback, on the adapters' processing threads, while ports are closed
// under it with buffers queued or in processing.
TEST_F(Stress, PointCloudPortsStreamAndCloseWithBuffersInFlight) {
    Start();
    {
        std::ofstream settings(systemDir_ / "VaveZAZ.ini", std::ios::app);
        settings << "[" << kCameraA << ".1]\nImageFormat=3D (XYZ)\nCalibrationFilter=1\n"
                 << "RectificationFilter=1\n[" << kCameraA << ".2]\nImageFormat=3D (XYZCI)\n"
                 << "[" << kCameraB << ".1]\nImageFormat=3D (XYZ)\nCalibrationFilter=1\n"
                 << "LaserPlaneCompensation=1\nLaserPlaneAngle=20\n";
    }
    // A port being closed may vanish under a read that began before: only
    // reads that end before the closing starts are judged.
    onImage = [this](int port) {
        int points = 0;
        int bits = 0;
        bool whole = getProperty(0, port, "Width", &points) == 1 &&
                     getProperty(0, port, "PixelSize", &bits) == 1;
        const size_t floats = static_cast<size_t>(bits / 32);
        std::vector<float> cloud(static_cast<size_t>(points) * floats + floats, -1.0f);
        whole = whole && (points == 0 || getCVLGrabRow(0, port, cloud.data(), 0, 0, points) == 1);
        whole = whole && cloud.back() == -1.0f;  // one point more was asked for
        for (size_t n = 0; whole && n < static_cast<size_t>(points); ++n) {
            const float z = cloud[n * floats + 2];
            whole = z >= 1.0f && z <= 1000.0f;
        }
        if (!closing_) {
            (whole ? wholeImages_ : brokenImages_)++;
        }
    };
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        closing_ = false;
        OpenPort(1, kCameraA, 1);
        OpenPort(2, kCameraA, 2);
        OpenPort(3, kCameraB, 1);
        ASSERT_EQ(1, setProperty(0, 1, "continuous", 1));
        ASSERT_EQ(1, setProperty(0, 3, "continuous", 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 10 * (cycle % 6)));
        closing_ = true;
        closeCVLPort(0, 3);  // still streaming
        closeCVLPort(0, 1);
        closeCVLPort(0, 2);
        JudgeCycleLog();
    }
    Report("point clouds");
    EXPECT_EQ(0, brokenImages_.load());
    EXPECT_GT(wholeImages_.load(), kCycles);
    EXPECT_EQ(0, failedImageLines_);
}
