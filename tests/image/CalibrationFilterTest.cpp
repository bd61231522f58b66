// The calibration and rectification helpers on rendered buffers of a camera
// whose geometry is known: column c sees X = (c - 32) * 3.125 mm, row r sees
// Z = 100 - r mm, and the box top lies 40 mm over the belt.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "base/VaveZAZError.h"
#include "image/CalibrationFilter.h"
#include "image/ImageSource.h"
#include "image/RectificationFilter.h"
#include "tests/image/ImageTestSupport.h"

using namespace imagetest;
using ::testing::HasSubstr;

namespace {

const ImageSource kCogRange{"Profile 1", "Range", 0, 1, true};
constexpr int kScans = 4;

uint32_t Bits(float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
}

class CalibrationTest : public SimFixture {
  protected:
    std::unique_ptr<CalibrationFilter> Calibration(const ImageSource& source = kCogRange) {
        return std::make_unique<CalibrationFilter>(format_, source, kScans, calibration_);
    }

    // The label and code a construction fails with.
    template <typename Make>
    static std::pair<std::string, int32_t> Failure(Make make) {
        try {
            make();
        } catch (const VaveZAZError& e) {
            return {e.what(), e.Code()};
        }
        return {"no failure", 0};
    }

    const icon::sim::DeviceConfig device_ = SceneDevice();
    const icon::DataFormat format_ = DeviceFormat(device_, "Measurement");
    const std::string calibration_ = icon::sim::calibrationText(device_.sensor);
};

}  // namespace

TEST_F(CalibrationTest, CalibratedPointsAreTheFilterOutputBitForBit) {
    auto calibration = Calibration();
    auto buffer = Render(device_, format_, kScans);
    // One element where the laser was not seen: its point is not a number.
    std::vector<uint16_t> sums = Plane<uint16_t>(*buffer, "Profile 1", "Sum");
    sums[70] = 0;
    SetPlane(*buffer, "Profile 1", "Sum", sums);
    calibration->Extract(*buffer);

    auto points = PointImage(160, kColumns, kScans);
    calibration->FillPoints(*points, 2);
    const std::vector<float> zs = Plane<float>(calibration->Output(), "Profile 1", "Range R");
    const std::vector<float> xs = Plane<float>(calibration->Output(), "Profile 1", "Range X");
    ASSERT_EQ(static_cast<size_t>(kColumns * kScans), zs.size());
    for (size_t n = 0; n < zs.size(); ++n) {
        ASSERT_EQ(Bits(zs[n]), WordAt(*points, n, 2)) << n;
        ASSERT_EQ(Bits(xs[n]), WordAt(*points, n, 0)) << n;
        ASSERT_TRUE(Untouched(*points, n, 1) && Untouched(*points, n, 3) &&
                    Untouched(*points, n, 4))
            << n;
    }
    EXPECT_TRUE(std::isnan(FloatAt(*points, 70, 2)));
    // The scene in millimetres: the box top over column 32, the belt at the edge.
    EXPECT_NEAR(40.0f, FloatAt(*points, kColumns + 32, 2), 0.01f);
    EXPECT_NEAR(0.0f, FloatAt(*points, kColumns + 3, 2), 0.01f);
    EXPECT_NEAR((3 - 32) * 3.125f, FloatAt(*points, kColumns + 3, 0), 0.01f);

    calibration->FillPoints(*points, 3);
    EXPECT_EQ(Bits(zs[5]), WordAt(*points, 5, 3)) << "other coordinates bring no X";
}

TEST_F(CalibrationTest, RectifiedPointsLieOnOneRegularGridOfXInEveryScan) {
    RectificationFilter rectification(Calibration(), kColumns);
    rectification.Extract(*Render(device_, format_, kScans));
    auto points = PointImage(96, kColumns, kScans);
    rectification.FillPoints(*points, 2);
    const float cell = FloatAt(*points, 1, 0) - FloatAt(*points, 0, 0);
    ASSERT_GT(cell, 0.0f);
    size_t onBox = 0;
    for (size_t scan = 0; scan < kScans; ++scan) {
        for (size_t k = 0; k < kColumns; ++k) {
            const size_t n = scan * kColumns + k;
            EXPECT_NEAR(FloatAt(*points, 0, 0) + static_cast<float>(k) * cell,
                        FloatAt(*points, n, 0), 1e-3f)
                << n;
            const float x = FloatAt(*points, n, 0);
            const float z = FloatAt(*points, n, 2);
            if (std::abs(x) < 25.0f - cell) {
                EXPECT_NEAR(40.0f, z, 0.01f) << n;
                ++onBox;
            } else if (std::abs(x) > 25.0f + cell && std::abs(x) < 100.0f - cell) {
                EXPECT_NEAR(0.0f, z, 0.01f) << n;
            }
            EXPECT_TRUE(Untouched(*points, n, 1)) << n;
        }
    }
    EXPECT_GT(onBox, 8u * kScans);
}

TEST_F(CalibrationTest, FiltersMakeNoGrayscaleImages) {
    auto image = std::make_unique<ImageBuffer>(8, kColumns, kScans);
    try {
        Calibration()->FillGrayscale(*image);
        ADD_FAILURE();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("Grayscale image not supported for calibrated image buffer", e.what());
    }
    try {
        RectificationFilter(Calibration(), kColumns).FillGrayscale(*image);
        ADD_FAILURE();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("Grayscale image not supported for RectificationFilter", e.what());
    }
}

TEST_F(CalibrationTest, CalibrationDataThatDoesNotFitTheCameraIsAUserDataError) {
    std::string corrupt = calibration_;
    corrupt[corrupt.find("homography") + 12] ^= 0x01;
    const std::string foreign =
        icon::sim::calibrationText(icon::sim::SensorGeometry::standard(128, 101, 200, 100, 0));
    const std::string binary("\0\xff\x01ICONSIM", 10);
    for (const std::string& data : {std::string(), corrupt, foreign, binary,
                                    calibration_.substr(0, calibration_.size() / 2)}) {
        const auto [what, code] =
            Failure([&] { CalibrationFilter(format_, kCogRange, kScans, data); });
        EXPECT_THAT(what, HasSubstr("Init calibration filter from flash user data")) << data;
        EXPECT_EQ(17, code) << data;
    }
}

TEST_F(CalibrationTest, EveryConstructionStepCarriesItsLabel) {
    FailFilter("CalibrationFilter::initFromData", 15, icon::sim::Fault::ONCE);
    EXPECT_THAT(Failure([&] { Calibration(); }).first,
                HasSubstr("Init calibration filter from flash user data"));
    FailFilter("CalibrationFilter::prepareResult", 5006, icon::sim::Fault::ONCE);
    EXPECT_THAT(Failure([&] { Calibration(); }).first,
                HasSubstr("Prepare output buffer for calibration filter"));
    icon::sim::resetConfiguration();
    // A COG intensity is the sum of light, which has no calibrated height.
    EXPECT_THAT(Failure([&] {
                    Calibration({"Profile 1", "Intensity", 0, 2, true});
                }).first,
                HasSubstr("Get Range read pointer from calibration output buffer"));

    FailFilter("RectificationFilter::setInput", 5005, icon::sim::Fault::ONCE);
    EXPECT_THAT(Failure([&] { RectificationFilter(Calibration(), kColumns); }).first,
                HasSubstr("Set input for calibration filter"));
    FailFilter("RectificationFilter::prepareResult", 5006, icon::sim::Fault::ONCE);
    EXPECT_THAT(Failure([&] { RectificationFilter(Calibration(), kColumns); }).first,
                HasSubstr("Prepare output buffer for calibration filter"));
}

TEST_F(CalibrationTest, EachStageReportsItsOwnFailureWhileABufferIsProcessed) {
    icon::sim::resetConfiguration();
    RectificationFilter rectification(Calibration(), kColumns);
    const auto buffer = Render(device_, format_, kScans);
    const std::pair<const char*, const char*> stages[] = {
        {"CalibrationFilter::apply", "Apply calibration filter"},
        {"RectificationFilter::apply", "Apply rectification filter"}};
    for (const auto& [operation, label] : stages) {
        FailFilter(operation, 5005, icon::sim::Fault::ONCE);
        try {
            rectification.Extract(*buffer);
            ADD_FAILURE() << label;
        } catch (const VaveZAZError& e) {
            EXPECT_THAT(e.what(), HasSubstr(label));
            EXPECT_THAT(e.what(),
                        ::testing::Not(HasSubstr(label == stages[0].second ? stages[1].second
                                                                           : stages[0].second)));
        }
        rectification.Extract(*buffer);  // the next buffer works
    }
    auto wrongScans = Render(device_, format_, kScans + 1);
    EXPECT_THROW(rectification.Extract(*wrongScans), VaveZAZError);
}

// With several calibrated components the camera API rectifies the first one
// it is given; the chosen image's points must be the ones rectified.
TEST_F(CalibrationTest, RectificationResamplesTheChosenImageNotTheFirstComponent) {
    icon::DataFormat format = RangeFormat(kColumns);
    format.addComponent(*CogFormat(kColumns, false).getComponent(0));
    auto buffer = Render(device_, format, kScans);
    // The other image saw nothing: rectifying it would give no point at all.
    SetPlane(*buffer, "Peak 1", "Range", std::vector<uint16_t>(kColumns * kScans, 0));
    const ImageSource cogRange{"Profile 1", "Range", 1, 0, true};
    RectificationFilter rectification(
        std::make_unique<CalibrationFilter>(format, cogRange, kScans, calibration_), kColumns);
    rectification.Extract(*buffer);
    auto points = PointImage(96, kColumns, kScans);
    rectification.FillPoints(*points, 2);
    size_t onBox = 0;
    for (size_t n = 0; n < kColumns; ++n) {
        onBox += std::abs(FloatAt(*points, n, 2) - 40.0f) < 0.01f ? 1 : 0;
    }
    EXPECT_GT(onBox, 8u);
}
