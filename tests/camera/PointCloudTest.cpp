// Point clouds through the entry points, as a host gets them, from the test
// cameras of tests/scenes/flat-box.xml: camera A sees a flat box 40 mm high
// spanning X -70 to 30 mm in every scan; camera B sees objects come and go.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <set>
#include <thread>

#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

using ::testing::HasSubstr;

namespace {

constexpr int kSensorColumns = 256;
constexpr float kBoxHeight = 40.0f;
constexpr float kBoxLeft = -70.0f;
constexpr float kBoxRight = 30.0f;
constexpr int kPulsesPerScan = 5;

// What the host copied of row 0: `floats` per point.
struct Cloud {
    int floats = 3;
    std::vector<float> values;

    size_t Points() const { return values.size() / static_cast<size_t>(floats); }
    float At(size_t point, int coordinate) const {
        return values[point * static_cast<size_t>(floats) + static_cast<size_t>(coordinate)];
    }
};

// A point whose Z is not a number is never kept, so the first one marks
// where the copy ended.
constexpr uint8_t kSentinel = 0xFF;

class PointClouds : public CameraFixture {
  protected:
    void SetUp() override {
        CameraFixture::SetUp();
        std::string error;
        ASSERT_TRUE(icon::sim::loadConfigFile(std::string(VAVEZAZ_SCENES) + "/flat-box.xml",
                                              simulation_, error))
            << error;
    }

    // Adds the image section of configuration "<camera>.<suffix>".
    void Configure(const char* camera, int suffix, const std::string& lines) {
        std::ofstream(systemDir_ / "VaveZAZ.ini", std::ios::app)
            << "[" << camera << "." << suffix << "]\n"
            << lines;
    }

    Cloud ReadCloud(int port, int floats = 3) {
        Cloud cloud;
        cloud.floats = floats;
        const int points = Property(port, "Width");
        cloud.values.resize(static_cast<size_t>(points * floats));
        if (points > 0) {
            EXPECT_EQ(1, getCVLGrabRow(0, port, cloud.values.data(), 0, 0, points - 1));
        }
        return cloud;
    }

    // One grab on `port`, then the cloud.
    Cloud GrabCloud(int port, int floats = 3) {
        const int before = ImagesAnnounced(port);
        EXPECT_EQ(1, doCVLGrab(0, port));
        EXPECT_TRUE(WaitForImages(port, before + 1));
        return ReadCloud(port, floats);
    }

    bool LoggedSoon(const std::string& text) {
        for (int wait = 0; wait < 500; ++wait) {
            if (LoggedContaining(text)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // A cloud is whole when every point has a height inside the default
    // window and the scans follow each other. A buffer that saw nothing but
    // the belt gives an empty cloud.
    static bool Whole(const Cloud& cloud) {
        for (size_t n = 0; n < cloud.Points(); ++n) {
            const float z = cloud.At(n, 2);
            if (!(z >= 1.0f && z <= 1000.0f) || (n > 0 && cloud.At(n, 1) < cloud.At(n - 1, 1))) {
                return false;
            }
        }
        return true;
    }

    static constexpr const char* kRectified =
        "ImageFormat=3D (XYZ)\nCalibrationFilter=1\nRectificationFilter=1\n";
};

}  // namespace

TEST_F(PointClouds, FlatBoxTopLiesAtItsTrueHeightAndSpansItsTrueWidth) {
    Start();
    Configure(kCameraA, 1, std::string(kRectified) + "PulsesPerMillimeter=4\n");
    const auto [width, height] = OpenPort(1, kCameraA);
    EXPECT_EQ(0, width) << "no points before the first cloud";
    EXPECT_EQ(1, height);
    EXPECT_EQ(96, Property(1, "PixelSize"));
    const Cloud cloud = GrabCloud(1);
    ASSERT_GT(cloud.Points(), 0u);

    // The default window (1 to 1000 mm) drops the belt: only the box top is left.
    float cell = INFINITY;
    float left = INFINITY;
    float right = -INFINITY;
    for (size_t n = 0; n < cloud.Points(); ++n) {
        EXPECT_NEAR(kBoxHeight, cloud.At(n, 2), 0.5f) << n;
        left = std::min(left, cloud.At(n, 0));
        right = std::max(right, cloud.At(n, 0));
        if (n > 0 && cloud.At(n, 1) == cloud.At(n - 1, 1)) {
            ASSERT_GT(cloud.At(n, 0), cloud.At(n - 1, 0)) << "points keep their order, " << n;
            cell = std::min(cell, cloud.At(n, 0) - cloud.At(n - 1, 0));
        } else if (n > 0) {
            // Y is the encoder's travel since the buffer's first scan over
            // "PulsesPerMillimeter": 5 pulses per scan, 4 per millimetre.
            ASSERT_EQ(cloud.At(n - 1, 1) + kPulsesPerScan / 4.0f, cloud.At(n, 1)) << n;
        }
    }
    EXPECT_EQ(0.0f, cloud.At(0, 1));
    EXPECT_EQ((kScans - 1) * kPulsesPerScan / 4.0f, cloud.At(cloud.Points() - 1, 1));
    ASSERT_LT(cell, 5.0f);
    EXPECT_NEAR(kBoxLeft, left, 2.0f * cell);
    EXPECT_NEAR(kBoxRight, right, 2.0f * cell);
}

TEST_F(PointClouds, RowReadCopiesEveryKeptPointButNothingPastThem) {
    Start();
    Configure(kCameraA, 1, kRectified);
    OpenPort(1, kCameraA);
    const Cloud cloud = GrabCloud(1);
    const size_t kept = cloud.Points();
    ASSERT_GT(kept, static_cast<size_t>(4 * kSensorColumns)) << "a cloud is many sensor rows";
    EXPECT_NEAR(kBoxHeight, cloud.At(kept - 1, 2), 0.5f) << "the last point was copied too";

    std::vector<uint8_t> row((kept + 500) * 12, kSentinel);
    EXPECT_EQ(1, getCVLGrabRow(0, 1, row.data(), 0, 0, static_cast<int>(kept) + 499));
    EXPECT_EQ(0, std::memcmp(row.data(), cloud.values.data(), kept * 12));
    EXPECT_TRUE(std::all_of(row.begin() + static_cast<long>(kept * 12), row.end(), [](uint8_t b) {
        return b == kSentinel;
    })) << "nothing past the kept points";
    EXPECT_EQ(0, getCVLGrabRow(0, 1, row.data(), 1, 0, 10)) << "a cloud has one row";
}

TEST_F(PointClouds, CompensationTurnsTheSameBufferAndAngleZeroChangesNothing) {
    Start();
    Configure(kCameraA, 1, kRectified);
    Configure(kCameraA, 2,
              std::string(kRectified) + "LaserPlaneCompensation=1\nLaserPlaneAngle=30\n");
    Configure(kCameraA, 3, std::string(kRectified) + "LaserPlaneCompensation=1\n");
    for (int port = 1; port <= 3; ++port) {
        OpenPort(port, kCameraA, port);
    }
    // One grab hands the same buffer to every port of the camera.
    ASSERT_EQ(1, doCVLGrab(0, 1));
    for (int port = 1; port <= 3; ++port) {
        ASSERT_TRUE(WaitForImages(port, 1)) << port;
    }
    const Cloud plain = ReadCloud(1);
    const Cloud turned = ReadCloud(2);
    EXPECT_EQ(plain.values, ReadCloud(3).values);
    ASSERT_EQ(plain.Points(), turned.Points());
    const auto cosine = static_cast<float>(std::cos(30.0 * 3.141592653589793 / 180.0));
    const auto tangent = static_cast<float>(std::tan(30.0 * 3.141592653589793 / 180.0));
    for (size_t n = 0; n < plain.Points(); ++n) {
        const float z = plain.At(n, 2) * cosine;
        ASSERT_EQ(plain.At(n, 0), turned.At(n, 0)) << n;
        ASSERT_EQ(z, turned.At(n, 2)) << n;
        ASSERT_EQ(static_cast<float>(plain.At(n, 1) + static_cast<double>(z) * tangent),
                  turned.At(n, 1))
            << n;
    }
}

TEST_F(PointClouds, CalibrationTheCameraCannotGiveLeavesUncalibratedPoints) {
    simulation_.devices[0].calibration = icon::sim::DeviceConfig::CALIBRATION_CORRUPT;
    simulation_.devices[1].faults.push_back(
        {"Read user data from flash", 15, icon::sim::Fault::ALWAYS, 1});
    Start();
    Configure(kCameraA, 1, kRectified);
    Configure(kCameraB, 1, kRectified);
    OpenPort(1, kCameraA);
    OpenPort(2, kCameraB);
    EXPECT_TRUE(Logged(
        "ERROR: Failed to create calibration filter: Init calibration filter from flash "
        "user data -- VaveZAZ API error code: 17(icon::Camera::E_CAMERA_USER_DATA_ERROR)\n"));
    EXPECT_TRUE(
        Logged("ERROR: Failed to create calibration filter: Read user data from flash -- VaveZAZ "
               "API error code: 15(icon::Camera::E_ERROR)\n"));
    // A host reading the statistics learns it too.
    ASSERT_EQ(1, setProperty(0, 1, "PrintStats", 1));
    EXPECT_TRUE(LoggedContaining(
        "\nCalibration:\tFAILED, points are uncalibrated sensor positions: Init calibration "
        "filter from flash user data"));
    for (int port : {1, 2}) {
        const Cloud cloud = GrabCloud(port);
        ASSERT_GT(cloud.Points(), 0u) << port;
        for (size_t n = 0; n < cloud.Points(); ++n) {
            // X is the sensor column, Z the line's sensor row.
            ASSERT_EQ(std::floor(cloud.At(n, 0)), cloud.At(n, 0)) << n;
            ASSERT_LT(cloud.At(n, 0), kSensorColumns);
            ASSERT_LT(cloud.At(n, 2), 128.0f);
        }
    }
}

TEST_F(PointClouds, FailingFilterOnOneBufferSkipsOnlyThatBuffer) {
    const std::pair<const char*, const char*> stages[] = {
        {"CalibrationFilter::apply", "Apply calibration filter"},
        {"RectificationFilter::apply", "Apply rectification filter"}};
    for (const auto& [operation, label] : stages) {
        simulation_.faults = {{operation, 5005, icon::sim::Fault::ONCE, 1}};
        Start();
        Configure(kCameraA, 1, kRectified);
        OpenPort(1, kCameraA);
        // A lost cloud is an error: the host hears of it at its default level.
        context_->logLevel = 1;
        const int before = ImagesAnnounced(1);
        ASSERT_EQ(1, doCVLGrab(0, 1));
        EXPECT_TRUE(LoggedSoon(
            std::string("ImageAdapter3D: ERROR while processing image on port=1: ") + label))
            << label;
        EXPECT_EQ(before, ImagesAnnounced(1));
        const Cloud next = GrabCloud(1);
        EXPECT_TRUE(next.Points() > 0 && Whole(next)) << "the next buffer is a whole cloud";
        EXPECT_EQ(before + 1, ImagesAnnounced(1));
        EXPECT_EQ(1, finalize());
        capture_.Clear();
    }
}

TEST_F(PointClouds, XyzciCarriesTheChosenContrastAndIntensity) {
    Start();
    // The image list of a COG camera with marks: 0 Mark, 1 Range, 2 Intensity.
    Configure(kCameraA, 1,
              "ImageFormat=3D (XYZCI)\nCalibrationFilter=1\nContrast=2\nIntensity=0\n"
              "PulsesPerMillimeter=10\n");
    OpenPort(1, kCameraA);
    EXPECT_EQ(160, Property(1, "PixelSize"));
    const Cloud cloud = GrabCloud(1, 5);
    ASSERT_GT(cloud.Points(), 0u);
    // The sum of light rises with the box's reflectance, 0.8 of its most.
    const int boxLight = static_cast<int>(std::lround(0.8 * (524287 / 128)));
    const double firstScan = cloud.At(0, 4) - cloud.At(0, 1) * 10.0;
    EXPECT_EQ(0, static_cast<int64_t>(firstScan - 1000000) % kPulsesPerScan);
    for (size_t n = 0; n < cloud.Points(); ++n) {
        ASSERT_EQ(static_cast<float>(boxLight), cloud.At(n, 3)) << n;
        // Intensity is the raw encoder count of the point's scan; Y the
        // travel from the buffer's first scan.
        ASSERT_EQ(firstScan, cloud.At(n, 4) - cloud.At(n, 1) * 10.0) << n;
    }
}

TEST_F(PointClouds, TwentyContinuousCloudsReadInTheCallbackAreWhole) {
    Start();
    Configure(kCameraB, 1, kRectified);
    std::atomic<int> whole{0};
    std::atomic<int> broken{0};
    std::set<size_t> sizes;
    onImage = [&](int port) {
        if (port == 5 && whole + broken < 20) {
            const Cloud cloud = ReadCloud(5);
            (Whole(cloud) ? whole : broken)++;
            sizes.insert(cloud.Points());
        }
    };
    OpenPort(5, kCameraB);
    ASSERT_EQ(1, setProperty(0, 5, "continuous", 1));
    EXPECT_TRUE(WaitForImages(5, 21));
    ASSERT_EQ(1, setProperty(0, 5, "continuous", 0));
    closeCVLPort(0, 5);
    EXPECT_EQ(20, whole.load());
    EXPECT_EQ(0, broken.load());
    EXPECT_GT(sizes.size(), 3u) << "objects come and go";
}

TEST_F(PointClouds, RowReadsOnAnotherThreadGetOneWholeCloudWhileCloudsChange) {
    Start();
    Configure(kCameraB, 1, kRectified);
    OpenPort(5, kCameraB);
    ASSERT_EQ(1, setProperty(0, 5, "continuous", 1));
    ASSERT_TRUE(WaitForImages(5, 1));
    const size_t capacity = static_cast<size_t>(kSensorColumns * kScans) + 100;
    std::set<size_t> sizes;
    int reads = 0;
    for (; reads < 300 && ImagesAnnounced(5) < 40; ++reads) {
        std::vector<uint8_t> row(capacity * 12, kSentinel);
        ASSERT_EQ(1, getCVLGrabRow(0, 5, row.data(), 0, 0, static_cast<int>(capacity) - 1));
        Cloud cloud;
        size_t copied = 0;
        while (copied < capacity) {
            uint32_t z;
            std::memcpy(&z, row.data() + copied * 12 + 8, sizeof z);
            if (z == 0xFFFFFFFFu) {
                break;
            }
            ++copied;
        }
        cloud.values.resize(copied * 3);
        if (copied > 0) {
            std::memcpy(cloud.values.data(), row.data(), copied * 12);
        }
        ASSERT_TRUE(copied == 0 || Whole(cloud)) << "read " << reads;
        ASSERT_TRUE(std::all_of(row.begin() + static_cast<long>(copied * 12), row.end(),
                                [](uint8_t b) { return b == kSentinel; }))
            << "read " << reads;
        sizes.insert(copied);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    setProperty(0, 5, "continuous", 0);
    EXPECT_GT(sizes.size(), 3u) << reads << " reads";
}

TEST_F(PointClouds, ClosingOrFinalizingFromA3DCallbackIsRefused) {
    Start();
    Configure(kCameraA, 1, kRectified);
    std::atomic<int> calls{0};
    std::atomic<int> finalizeResult{-1};
    std::atomic<int> openResult{-1};
    onImage = [&](int port) {
        if (port == 1 && calls++ == 0) {
            closeCVLPort(0, 1);
            finalizeResult = finalize();
            int size[2];
            openResult = openCVLPort(0, 2, "192.168.0.10.2", size);
        }
    };
    OpenPort(1, kCameraA);
    ASSERT_EQ(1, doCVLGrab(0, 1));
    ASSERT_TRUE(WaitForImages(1, 1)) << "the callback must return instead of hanging";
    EXPECT_EQ(0, finalizeResult.load());
    EXPECT_EQ(0, openResult.load());
    EXPECT_TRUE(
        LoggedContaining("a port cannot be closed from inside its camera's completion callback"));
    EXPECT_TRUE(
        LoggedContaining("the camera list cannot be destroyed from inside a completion callback"));
    EXPECT_GT(GrabCloud(1).Points(), 0u) << "the port stays open";
    EXPECT_EQ(1, context_->refCount.load());
}
