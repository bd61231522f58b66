// Laser-plane compensation and the height window over point images, and the
// points built from a buffer a few scans at a time.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "icon/Simulation.h"
#include "image/CalibrationFilter.h"
#include "image/ExtractionHelperScanMarks.h"
#include "image/ImageSource.h"
#include "image/PointProcessing.h"
#include "image/RectificationFilter.h"
#include "tests/image/ImageTestSupport.h"

using namespace imagetest;

namespace {

void SetPoint(ImageBuffer& image, size_t point, std::vector<float> values) {
    std::memcpy(image.GetData() + point * image.GetBytesPerPixel(), values.data(),
                values.size() * sizeof(float));
}

using PointProcessing = ::testing::Test;

}  // namespace

TEST_F(PointProcessing, ThirtyDegreesTurnAPointAtHeightHundredOntoTheBelt) {
    for (int32_t bits : {96, 160}) {
        auto image = PointImage(bits, 2, 1);
        SetPoint(*image, 0, {7.0f, 0.0f, 100.0f});
        SetPoint(*image, 1, {-3.0f, 12.5f, -4.0f});
        EXPECT_EQ(2u, FilterPointRun(*image, 0, 0, 2, {-INFINITY, INFINITY, true, 30.0}));
        EXPECT_NEAR(86.60254f, FloatAt(*image, 0, 2), 1e-5f) << bits;
        EXPECT_NEAR(50.0f, FloatAt(*image, 0, 1), 1e-5f) << bits;
        // The specified rounding: cos and tan rounded to float, each result once.
        const auto cosine = static_cast<float>(std::cos(30.0 * 3.141592653589793 / 180.0));
        const auto tangent = static_cast<float>(std::tan(30.0 * 3.141592653589793 / 180.0));
        const float z = -4.0f * cosine;
        EXPECT_EQ(z, FloatAt(*image, 1, 2));
        EXPECT_EQ(static_cast<float>(12.5 + static_cast<double>(z) * tangent),
                  FloatAt(*image, 1, 1));
        EXPECT_EQ(7.0f, FloatAt(*image, 0, 0)) << "X stays";
        if (bits == 160) {
            EXPECT_TRUE(Untouched(*image, 0, 3) && Untouched(*image, 0, 4));
        }
    }
}

TEST_F(PointProcessing, AngleZeroChangesNoPoint) {
    auto image = PointImage(96, 3, 1);
    SetPoint(*image, 0, {1.0f, 0.25f, 40.000004f});
    SetPoint(*image, 1, {-2.0f, 1e6f, 1e-30f});
    SetPoint(*image, 2, {3.0f, -7.5f, 999.99994f});
    const std::vector<uint8_t> before(image->GetData(), image->GetData() + 36);
    EXPECT_EQ(3u, FilterPointRun(*image, 0, 0, 3, {-INFINITY, INFINITY, true, 0.0}));
    EXPECT_EQ(before, std::vector<uint8_t>(image->GetData(), image->GetData() + 36));
}

TEST_F(PointProcessing, HeightWindowKeepsWholePointsInTheirOrder) {
    auto image = PointImage(160, 3, 2);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float heights[] = {0.5f, 10.0f, nan, 1000.0f, 1000.5f, -INFINITY};
    for (size_t n = 0; n < 6; ++n) {
        SetPoint(*image, n, {float(n), float(10 * n), heights[n], float(100 + n), float(200 + n)});
    }
    EXPECT_EQ(2u, FilterPointRun(*image, 0, 0, 6, {1.0, 1000.0, false, 0.0}));
    const std::vector<float> kept[] = {{1, 10, 10, 101, 201}, {3, 30, 1000, 103, 203}};
    for (size_t n = 0; n < 2; ++n) {
        for (int position = 0; position < 5; ++position) {
            EXPECT_EQ(kept[n][position], FloatAt(*image, n, position)) << n << "/" << position;
        }
    }
    EXPECT_EQ(4.0f, FloatAt(*image, 4, 0)) << "the points after the kept ones keep their bytes";
    EXPECT_EQ(0u, FilterPointRun(*image, 0, 0, 0, {1.0, 1000.0, false, 0.0}));
}

// Sixty degrees halve every height: the window sees the halved heights, and
// the points it drops are compensated all the same.
TEST_F(PointProcessing, TheHeightWindowSeesCompensatedHeights) {
    for (int32_t bits : {96, 160}) {
        auto image = PointImage(bits, 3, 1);
        SetPoint(*image, 0, {1.0f, 0.0f, 100.0f});
        SetPoint(*image, 1, {2.0f, 0.0f, 30.0f});
        SetPoint(*image, 2, {3.0f, 0.0f, 45.0f});
        EXPECT_EQ(1u, FilterPointRun(*image, 0, 0, 3, {40.0, 60.0, true, 60.0})) << bits;
        EXPECT_EQ(1.0f, FloatAt(*image, 0, 0)) << bits;
        EXPECT_NEAR(50.0f, FloatAt(*image, 0, 2), 1e-4f) << bits;
        EXPECT_NEAR(86.60254f, FloatAt(*image, 0, 1), 1e-3f) << bits;
        EXPECT_NEAR(15.0f, FloatAt(*image, 1, 2), 1e-4f) << bits;
        EXPECT_NEAR(22.5f, FloatAt(*image, 2, 2), 1e-4f) << bits;
    }
}

TEST_F(PointProcessing, MorePointsThanTheImageHoldsAreRefused) {
    auto image = PointImage(96, 4, 2);
    EXPECT_THROW(FilterPointRun(*image, 0, 0, 9, {1.0, 2.0, false, 0.0}), std::runtime_error);
    EXPECT_THROW(FilterPointRun(*image, 0, 0, 9, {1.0, 2.0, true, 10.0}), std::runtime_error);
    auto grayscale = PointImage(8, 4, 2);
    EXPECT_THROW(FilterPointRun(*grayscale, 0, 0, 1, {1.0, 2.0, false, 0.0}), std::runtime_error);
}

namespace {

const ImageSource kCogRange{"Profile 1", "Range", 0, 1, true};
const ImageSource kCogIntensity{"Profile 1", "Intensity", 0, 2, true};
const ImageSource kMarks{"Profile 1", "Mark", 0, 0, true};

// A buffer of the sample camera's scene and the helpers a calibrated,
// rectified 3D adapter runs over it.
struct CloudParts {
    CloudParts(int32_t pointBits, int32_t scans)
        : device(icon::sim::SimulationConfig::embeddedDefault().devices[0]),
          format(icon::sim::defaultDataFormat(device, "Measurement")) {
        buffer.init(format, scans);
        icon::sim::SceneRenderer renderer(device, format);
        // From the middle of the belt, where the scene's objects stand.
        for (int32_t scan = 0; scan < scans; ++scan) {
            renderer.renderScan(buffer, scan, 300 + scan);
        }
        main = std::make_unique<RectificationFilter>(
            std::make_unique<CalibrationFilter>(format, kCogRange, scans,
                                                icon::sim::calibrationText(device.sensor)),
            device.sensor.columns);
        y = std::make_unique<ExtractionHelperScanMarks>(format, kMarks, scans, 10.0f, true);
        if (pointBits == 160) {
            contrast = CreateExtractionHelper(format, kCogIntensity, scans);
            intensity = CreateExtractionHelper(format, kMarks, scans);
        }
        for (ExtractionHelper* helper : Helpers()) {
            if (helper != nullptr) {
                helper->Extract(buffer);
            }
        }
    }

    PointHelpers Helpers() const { return {y.get(), main.get(), contrast.get(), intensity.get()}; }

    icon::sim::DeviceConfig device;
    icon::DataFormat format;
    icon::IconBuffer buffer;
    std::unique_ptr<ExtractionHelper> main, y, contrast, intensity;
};

std::vector<uint8_t> Bytes(ImageBuffer& image) {
    return {image.GetData(), image.GetData() + image.GetByteSize()};
}

}  // namespace

// The adapter builds a few scans at a time; every byte of the image must be
// what filling the whole image and then filtering it gives, kept points,
// their order and the compensated points after them alike. 37 scans end in a
// part of a pass.
TEST_F(PointProcessing, BuildingScansAtATimeGivesTheWholeImagePassesBitForBit) {
    for (int32_t bits : {96, 160}) {
        for (const HeightWindow& window :
             {HeightWindow{5.0, 1000.0, true, 20.0}, HeightWindow{5.0, 80.0, false, 0.0}}) {
            const CloudParts parts(bits, 37);
            const int32_t columns = parts.device.sensor.columns;
            ImageBuffer whole(bits, columns, 37);
            for (int32_t coordinate = 1; coordinate <= 4; ++coordinate) {
                if (ExtractionHelper* helper = parts.Helpers()[coordinate - 1]) {
                    helper->FillPoints(whole, coordinate);
                }
            }
            if (bits == 160) {
                parts.main->CarryContrastIntensity(whole, {0, 37});
            }
            const size_t points = static_cast<size_t>(columns) * 37;
            const size_t expected = FilterPointRun(whole, 0, 0, points, window);
            ImageBuffer built(bits, columns, 37);
            EXPECT_EQ(expected, BuildPoints(built, parts.Helpers(), window));
            EXPECT_GT(expected, 0u);
            EXPECT_LT(expected, points) << "the window drops some points";
            EXPECT_TRUE(Bytes(whole) == Bytes(built)) << bits << " bits";
        }
    }
}

TEST_F(PointProcessing, RowsAndRunsOutsideTheImageAreRefused) {
    const CloudParts parts(96, 20);
    ImageBuffer image(96, parts.device.sensor.columns, 20);
    EXPECT_THROW(parts.main->FillPointRows(image, 2, {16, 5}), std::runtime_error);
    EXPECT_THROW(parts.y->FillPointRows(image, 1, {-1, 2}), std::runtime_error);
    EXPECT_NO_THROW(parts.main->FillPointRows(image, 2, {16, 4}));
    const size_t points = static_cast<size_t>(parts.device.sensor.columns) * 20;
    const HeightWindow window{0.0, 1.0, false, 0.0};
    EXPECT_THROW(FilterPointRun(image, 10, 5, 1, window), std::runtime_error)
        << "kept points cannot lie past the first point of the run";
    EXPECT_THROW(FilterPointRun(image, 0, points - 1, 2, window), std::runtime_error);
    EXPECT_THROW(FilterPointRun(image, 0, 1, SIZE_MAX, window), std::runtime_error);
}

// XYZ and XYZCI points go 16 at a time on processors with AVX-512 (on others
// both runs take the plain loops). Random points, with heights on and around
// the window's ends, not-a-number and infinities, in runs that end in a part
// group and start after points kept before them.
TEST_F(PointProcessing, TheWideLoopsGiveThePlainLoopsBytes) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-50.0f, 150.0f);
    const float specials[] = {5.0f,
                              100.0f,
                              std::nextafter(5.0f, 0.0f),
                              100.00001f,
                              -0.0f,
                              1e-40f,
                              std::numeric_limits<float>::quiet_NaN(),
                              INFINITY,
                              -INFINITY};
    constexpr size_t kPoints = 16 * 37 + 7;
    for (const int32_t bits : {96, 160}) {
        auto image = PointImage(bits, kPoints, 1);
        for (size_t n = 0; n < kPoints; ++n) {
            const uint32_t xBits = static_cast<uint32_t>(random());
            float x;
            std::memcpy(&x, &xBits, sizeof x);
            const float z = n % 5 == 0 ? specials[random() % std::size(specials)] : spread(random);
            std::vector<float> point{x, spread(random), z};
            if (bits == 160) {
                point.push_back(spread(random));
                point.push_back(static_cast<float>(n));
            }
            SetPoint(*image, n, point);
        }
        for (const HeightWindow& window :
             {HeightWindow{5.0, 100.0, true, 20.0}, HeightWindow{5.0, 100.0, true, -35.0},
              HeightWindow{5.0, 100.0, true, 0.0}, HeightWindow{5.0, 100.0, false, 0.0},
              HeightWindow{-INFINITY, INFINITY, true, 60.0}}) {
            for (const auto& [kept, first] : {std::pair<size_t, size_t>{0, 0}, {3, 10}}) {
                auto wide = PointImage(bits, kPoints, 1);
                auto plain = PointImage(bits, kPoints, 1);
                std::memcpy(wide->GetData(), image->GetData(), image->GetByteSize());
                std::memcpy(plain->GetData(), image->GetData(), image->GetByteSize());
                const size_t count = kPoints - first;
                EXPECT_EQ(FilterPointRunPortable(*plain, kept, first, count, window),
                          FilterPointRun(*wide, kept, first, count, window));
                EXPECT_TRUE(Bytes(*plain) == Bytes(*wide))
                    << bits << " bits, angle " << window.angleDegrees << ", from point " << first;
            }
        }
    }
}
