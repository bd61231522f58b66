// Laser-plane compensation and the height window over point images.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "image/PointProcessing.h"
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
        EXPECT_EQ(2, CompensateAndFilterHeights(*image, 2, 30.0, -INFINITY, INFINITY));
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
    EXPECT_EQ(3, CompensateAndFilterHeights(*image, 3, 0.0, -INFINITY, INFINITY));
    EXPECT_EQ(before, std::vector<uint8_t>(image->GetData(), image->GetData() + 36));
}

TEST_F(PointProcessing, HeightWindowKeepsWholePointsInTheirOrder) {
    auto image = PointImage(160, 3, 2);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float heights[] = {0.5f, 10.0f, nan, 1000.0f, 1000.5f, -INFINITY};
    for (size_t n = 0; n < 6; ++n) {
        SetPoint(*image, n, {float(n), float(10 * n), heights[n], float(100 + n), float(200 + n)});
    }
    EXPECT_EQ(2, FilterHeights(*image, 6, 1.0, 1000.0));
    const std::vector<float> kept[] = {{1, 10, 10, 101, 201}, {3, 30, 1000, 103, 203}};
    for (size_t n = 0; n < 2; ++n) {
        for (int position = 0; position < 5; ++position) {
            EXPECT_EQ(kept[n][position], FloatAt(*image, n, position)) << n << "/" << position;
        }
    }
    EXPECT_EQ(4.0f, FloatAt(*image, 4, 0)) << "the points after the kept ones keep their bytes";
    EXPECT_EQ(0, FilterHeights(*image, 0, 1.0, 1000.0));
}

// Sixty degrees halve every height: the window sees the halved heights, and
// the points it drops are compensated all the same.
TEST_F(PointProcessing, TheHeightWindowSeesCompensatedHeights) {
    for (int32_t bits : {96, 160}) {
        auto image = PointImage(bits, 3, 1);
        SetPoint(*image, 0, {1.0f, 0.0f, 100.0f});
        SetPoint(*image, 1, {2.0f, 0.0f, 30.0f});
        SetPoint(*image, 2, {3.0f, 0.0f, 45.0f});
        EXPECT_EQ(1, CompensateAndFilterHeights(*image, 3, 60.0, 40.0, 60.0)) << bits;
        EXPECT_EQ(1.0f, FloatAt(*image, 0, 0)) << bits;
        EXPECT_NEAR(50.0f, FloatAt(*image, 0, 2), 1e-4f) << bits;
        EXPECT_NEAR(86.60254f, FloatAt(*image, 0, 1), 1e-3f) << bits;
        EXPECT_NEAR(15.0f, FloatAt(*image, 1, 2), 1e-4f) << bits;
        EXPECT_NEAR(22.5f, FloatAt(*image, 2, 2), 1e-4f) << bits;
    }
}

TEST_F(PointProcessing, MorePointsThanTheImageHoldsAreRefused) {
    auto image = PointImage(96, 4, 2);
    EXPECT_THROW(FilterHeights(*image, 9, 1.0, 2.0), std::runtime_error);
    EXPECT_THROW(CompensateAndFilterHeights(*image, 9, 10.0, 1.0, 2.0), std::runtime_error);
    auto grayscale = PointImage(8, 4, 2);
    EXPECT_THROW(FilterHeights(*grayscale, 1, 1.0, 2.0), std::runtime_error);
}
