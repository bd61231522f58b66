// Two cameras with two ports each streaming for a while: camera A in
// continuous mode, with a grayscale port and a 3D port whose host takes its
// time in every callback; camera B grabbed image by image by a host thread.
// Every announced image is read in its callback and compared with the scene
// the camera sees (row by row, or point by point); at every checkpoint each
// camera's counters must add up: frames = images handed on + dropped. CI runs
// it for two seconds; tools/soak.sh sets VAVEZAZ_SOAK_SECONDS for a long run
// and VAVEZAZ_SOAK_SLOW_MS for the 3D host's time per callback.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "icon/DataFormat.h"
#include "icon/IconBuffer.h"
#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

namespace {

using Clock = std::chrono::steady_clock;

int FromEnvironment(const char* name, int otherwise) {
    const char* text = std::getenv(name);
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : otherwise;
}

const int kSlowHostMs = FromEnvironment("VAVEZAZ_SOAK_SLOW_MS", 100);

// The counters one port prints.
struct Counters {
    long frames = -1;
    long dropped = -1;
    long handedOn = -1;

    bool operator==(const Counters& o) const {
        return frames == o.frames && dropped == o.dropped && handedOn == o.handedOn;
    }
};

long Field(const std::string& text, const std::string& name) {
    const size_t at = text.find(name);
    return at == std::string::npos ? -1 : std::stol(text.substr(at + name.size()));
}

class Soak : public CameraFixture {
  protected:
    // Scenes that look the same in every scan, without noise: a flat box on
    // camera A, a ramp rising across the belt on camera B.
    void SetScenes() {
        for (icon::sim::DeviceConfig& device : simulation_.devices) {
            device.noise = 0.0;
            device.scene.length = 500.0;
            device.scene.objects.clear();
        }
        icon::sim::SceneObject box;
        box.x = -60.0;
        box.y = 0.0;
        box.width = 150.0;
        box.length = 500.0;
        box.height = 40.0;
        simulation_.devices[0].scene.objects.push_back(box);
        icon::sim::SceneObject ramp = box;
        ramp.kind = icon::sim::SceneObject::RAMP;
        ramp.axis = icon::sim::SceneObject::ACROSS_BELT;
        ramp.x = 80.0;
        ramp.width = 200.0;
        ramp.height = 70.0;
        simulation_.devices[1].scene.objects.push_back(ramp);
    }

    // The grayscale row the camera's scene gives: per column the low byte of
    // the line's row, by the centre-of-gravity formula, 0 where unseen.
    static std::vector<unsigned char> ExpectedRow(const icon::sim::DeviceConfig& device) {
        const icon::DataFormat format(icon::sim::defaultDataFormat(device, "Measurement"));
        icon::IconBuffer buffer;
        EXPECT_EQ(0, buffer.init(format, 1));
        icon::sim::SceneRenderer(device, format).renderScan(buffer, 0, 12345);
        const uint16_t* sums = nullptr;
        const uint16_t* xsums = nullptr;
        EXPECT_EQ(0, buffer.getReadPointer("Profile 1", "Sum", sums));
        EXPECT_EQ(0, buffer.getReadPointer("Profile 1", "XSum", xsums));
        std::vector<unsigned char> row(static_cast<size_t>(device.sensor.columns));
        for (size_t c = 0; c < row.size(); ++c) {
            const uint32_t sum = sums[c] & 0x1FFFu;
            const uint32_t numerator = ((static_cast<uint32_t>(sums[c]) >> 13) << 16) + xsums[c];
            row[c] = sum == 0 ? 0 : static_cast<unsigned char>((numerator / sum) & 0xFF);
        }
        return row;
    }

    // The box's top, 40 mm above the belt, calibrated; the belt lies below
    // the height window. A cloud of two buffers or of none would not be flat.
    static bool CloudMatchesScene(int port) {
        int points = 0;
        if (getProperty(0, port, "Width", &points) != 1 || points <= 0) {
            return false;
        }
        std::vector<float> cloud(static_cast<size_t>(points) * 3);
        if (getCVLGrabRow(0, port, cloud.data(), 0, 0, points - 1) != 1) {
            return false;
        }
        for (size_t n = 0; n < cloud.size(); n += 3) {
            if (std::abs(cloud[n + 2] - 40.0f) > 0.5f) {
                return false;
            }
        }
        return true;
    }

    bool MatchesScene(int port) {
        if (port == 2) {
            return CloudMatchesScene(port);
        }
        const std::vector<unsigned char>& expected = port <= 2 ? expectedA_ : expectedB_;
        std::vector<unsigned char> row(expected.size(), 0xEE);
        for (int r = 0; r < kScans; ++r) {
            if (getCVLGrabRow(0, port, row.data(), r, 0, kColumns - 1) != 1 || row != expected) {
                return false;
            }
        }
        return true;
    }

    // Two readings of the port's statistics that agree: no buffer arrived
    // between them, so frames and dropped belong together.
    Counters Snapshot(int port) {
        Counters last;
        for (int attempt = 0; attempt < 1000; ++attempt) {
            const std::string text = Statistics(port);
            Counters now{Field(text, "Frames:\t\t"), Field(text, "Dropped:\t\t"),
                         Field(text, "CorvaneCB:\t\t")};
            if (now == last) {
                return now;
            }
            last = now;
        }
        ADD_FAILURE() << "the statistics of port " << port << " never settle";
        return last;
    }

    // The 3D port announces the newest cloud when its slow host returns, so
    // it counts fewer images than the grayscale port beside it.
    void Checkpoint(int elapsed) {
        for (int port = 1; port <= 4; ++port) {
            const Counters c = Snapshot(port);
            if (port != 2) {
                EXPECT_EQ(c.frames, c.handedOn + c.dropped) << "port " << port;
            }
            EXPECT_EQ(c.handedOn, ImagesAnnounced(port)) << "port " << port;
            std::cout << "soak " << elapsed << " s, port " << port << ": frames " << c.frames
                      << ", handed on " << c.handedOn << ", dropped " << c.dropped
                      << "; images checked " << ImagesAnnounced(port) << "\n";
        }
        EXPECT_LE(ImagesAnnounced(2), ImagesAnnounced(1));
        EXPECT_EQ(ImagesAnnounced(3), ImagesAnnounced(4));
    }

    std::vector<unsigned char> expectedA_;
    std::vector<unsigned char> expectedB_;
    std::atomic<long> matching_{0};
    std::atomic<long> wrong_{0};
};

}  // namespace

TEST_F(Soak, TwoCamerasTwoPortsEveryImageMatchesTheSceneAndCountersAddUp) {
    SetScenes();
    expectedA_ = ExpectedRow(simulation_.devices[0]);
    expectedB_ = ExpectedRow(simulation_.devices[1]);
    ASSERT_NE(expectedA_, expectedB_);
    ASSERT_NE(std::count(expectedA_.begin(), expectedA_.end(), expectedA_.front()),
              static_cast<long>(expectedA_.size()))
        << "the box stands out of the belt";
    Start();
    std::ofstream(systemDir_ / "VaveZAZ.ini", std::ios::app)
        << "[" << kCameraA << ".2]\nImageFormat=3D (XYZ)\nCalibrationFilter=1\n";
    onImage = [this](int port) {
        (MatchesScene(port) ? matching_ : wrong_)++;
        if (port == 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kSlowHostMs));
        }
    };
    OpenPort(1, kCameraA, 1);
    OpenPort(2, kCameraA, 2);
    OpenPort(3, kCameraB, 1);
    OpenPort(4, kCameraB, 2);
    // Only errors and the statistics are logged: a long run keeps what the
    // host procedure receives.
    context_->logLevel = 1;

    const int seconds = FromEnvironment("VAVEZAZ_SOAK_SECONDS", 2);
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        const auto checkpoint = std::min(end, Clock::now() + std::chrono::seconds(60));
        ASSERT_EQ(1, setProperty(0, 1, "continuous", 1));
        std::atomic<bool> stop{false};
        std::thread host([&] {
            while (!stop) {
                const int three = ImagesAnnounced(3) + 1;
                const int four = ImagesAnnounced(4) + 1;
                if (doCVLGrab(0, 3) != 1 || !WaitForImages(3, three) || !WaitForImages(4, four)) {
                    ++wrong_;
                    return;
                }
            }
        });
        std::this_thread::sleep_until(checkpoint);
        stop = true;
        host.join();
        ASSERT_EQ(1, setProperty(0, 1, "continuous", 0));
        // The buffer in flight when continuous mode went off completes, and
        // the 3D host's last callback returns.
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + 2 * kSlowHostMs));
        Checkpoint(static_cast<int>(
            std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count()));
    }
    for (int port = 1; port <= 4; ++port) {
        closeCVLPort(0, port);
    }
    std::cout << "soak " << seconds << " s, 3D host " << kSlowHostMs
              << " ms per callback: " << matching_.load() << " images match the scene, "
              << wrong_.load() << " do not; per second: grayscale port 1 "
              << ImagesAnnounced(1) / seconds << ", 3D port 2 " << ImagesAnnounced(2) / seconds
              << ", ports 3 and 4 " << ImagesAnnounced(3) / seconds << "\n";
    EXPECT_EQ(0, wrong_.load());
    EXPECT_GT(matching_.load(), 4L * seconds);
    EXPECT_FALSE(LoggedContaining("Failed to retrieve image"));
}
