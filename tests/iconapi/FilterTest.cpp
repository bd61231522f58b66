#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "SimTestSupport.h"
#include "icon/CalibrationFilter.h"
#include "icon/ExtractionFilter.h"
#include "icon/RectificationFilter.h"

namespace {

using icon::IconBuffer;

icon::DataFormat cogFormat(int columns) {
    icon::Component cog("Profile 1", "COG");
    cog.addSubComponent(icon::SubComponent("Mark", "MARK", 2));
    cog.addSubComponent(icon::SubComponent("Sum", "WORD", columns));
    cog.addSubComponent(icon::SubComponent("XSum", "WORD", columns));
    icon::Component range("Peak 1", "RANGE");
    range.addSubComponent(icon::SubComponent("Range", "WORD", columns));
    icon::DataFormat format;
    format.addComponent(cog);
    format.addComponent(range);
    return format;
}

// Encodes a row position the way the camera does.
void putCog(IconBuffer& buffer, int index, double row, uint32_t weight) {
    uint16_t* sum = nullptr;
    uint16_t* xsum = nullptr;
    buffer.getWritePointer("Profile 1", "Sum", sum);
    buffer.getWritePointer("Profile 1", "XSum", xsum);
    const uint32_t numerator = static_cast<uint32_t>(std::lround(row * weight));
    sum[index] = static_cast<uint16_t>(((numerator >> 16) << 13) | weight);
    xsum[index] = static_cast<uint16_t>(numerator & 0xFFFF);
}

void toSensor(const icon::sim::SensorGeometry& g, double x, double z, double& col, double& row) {
    const auto& h = g.homography;
    const double w = h[6] * x + h[7] * z + h[8];
    col = (h[0] * x + h[1] * z + h[2]) / w;
    row = (h[3] * x + h[4] * z + h[5]) / w;
}

class FilterTest : public ::testing::Test {
  protected:
    void TearDown() override { icon::sim::resetConfiguration(); }
};

TEST_F(FilterTest, ExtractionCopiesOneSubcomponent) {
    IconBuffer input;
    ASSERT_EQ(input.init(cogFormat(4), 3), 0);
    putCog(input, 5, 10.5, 100);
    icon::ExtractionFilter filter("Profile 1", "XSum");
    ASSERT_EQ(filter.setInput(cogFormat(4), 3), 0);
    IconBuffer output;
    ASSERT_EQ(filter.prepareResult(output), 0);
    const icon::Component* c = output.getDataFormat()->getComponent(0);
    EXPECT_EQ(c->getName(), "Profile 1");
    EXPECT_EQ(c->getValueType(), "COG");
    ASSERT_EQ(c->numSubComponents(), 1);
    EXPECT_EQ(c->getSubComponent(0)->getValueType(), "WORD");
    ASSERT_EQ(filter.apply(input, output), 0);
    const uint16_t* xsum = nullptr;
    ASSERT_EQ(output.getReadPointer("Profile 1", "XSum", xsum), 0);
    EXPECT_EQ(xsum[5], 1050);
    EXPECT_EQ(xsum[4], 0);
}

TEST_F(FilterTest, ExtractionErrors) {
    icon::ExtractionFilter noComponent("Profile 9", "Sum");
    EXPECT_EQ(noComponent.setInput(cogFormat(4), 3), IconBuffer::E_COMPONENT_NOT_FOUND);
    icon::ExtractionFilter noSub("Profile 1", "Range");
    EXPECT_EQ(noSub.setInput(cogFormat(4), 3), IconBuffer::E_SUBCOMPONENT_NOT_FOUND);
    icon::ExtractionFilter filter("Profile 1", "Sum");
    ASSERT_EQ(filter.setInput(cogFormat(4), 3), 0);
    IconBuffer output;
    ASSERT_EQ(filter.prepareResult(output), 0);
    IconBuffer shorter;
    ASSERT_EQ(shorter.init(cogFormat(4), 2), 0);
    EXPECT_EQ(filter.apply(shorter, output), IconBuffer::E_UNSUPPORTED_LAYOUT);
    IconBuffer wider;
    ASSERT_EQ(wider.init(cogFormat(8), 3), 0);
    EXPECT_EQ(filter.apply(wider, output), IconBuffer::E_UNSUPPORTED_LAYOUT);
}

TEST_F(FilterTest, InjectedFilterFaultFailsOnce) {
    auto config = icontest::quickConfig({});
    config.faults = {{"ExtractionFilter::apply", 5004, icon::sim::Fault::ONCE, 1}};
    icon::sim::configure(config);
    icon::ExtractionFilter filter("Profile 1", "Sum");
    ASSERT_EQ(filter.setInput(cogFormat(4), 1), 0);
    IconBuffer input;
    IconBuffer output;
    ASSERT_EQ(input.init(cogFormat(4), 1), 0);
    ASSERT_EQ(filter.prepareResult(output), 0);
    EXPECT_EQ(filter.apply(input, output), 5004);
    EXPECT_EQ(filter.apply(input, output), 0);
}

class CalibrationTest : public FilterTest {
  protected:
    icon::sim::SensorGeometry sensor =
        icon::sim::SensorGeometry::standard(64, 128, 200.0, 100.0, 0.001);
};

TEST_F(CalibrationTest, RejectsMissingCorruptAndForeignCalibrations) {
    const icon::DataFormat format = cogFormat(64);
    icon::CalibrationFilter filter("");
    EXPECT_EQ(filter.initFromData("", format, 4), icon::Camera::E_CAMERA_USER_DATA_ERROR);
    std::string corrupt = icon::sim::calibrationText(sensor);
    corrupt[corrupt.find("homography") + 12] ^= 1;
    EXPECT_EQ(filter.initFromData(corrupt, format, 4), icon::Camera::E_CAMERA_USER_DATA_ERROR);
    const auto narrow = icon::sim::SensorGeometry::standard(32, 128, 200.0, 100.0, 0.001);
    EXPECT_EQ(filter.initFromData(icon::sim::calibrationText(narrow), format, 4),
              icon::Camera::E_CAMERA_USER_DATA_ERROR);
    IconBuffer output;
    EXPECT_NE(filter.prepareResult(output), 0);
}

// A homography that is invertible but sends part of the sensor to infinity
// has no X range to rectify onto: such data is refused, not used.
TEST_F(CalibrationTest, RejectsACalibrationWithoutFiniteXRange) {
    icon::sim::SensorGeometry unbounded;
    unbounded.columns = 64;
    unbounded.rows = 32;
    unbounded.homography = {0.0,  0.0,           -666667.0, 0.0, 32.0, 0.0, -0.20666666666666668,
                            31.0, 213166666660.0};
    icon::CalibrationFilter filter("");
    EXPECT_EQ(filter.initFromData(icon::sim::calibrationText(unbounded), cogFormat(64), 4),
              icon::Camera::E_CAMERA_USER_DATA_ERROR);
}

TEST_F(CalibrationTest, TurnsSensorPositionsIntoMillimetres) {
    const icon::DataFormat format = cogFormat(64);
    icon::CalibrationFilter filter("");
    ASSERT_EQ(filter.initFromData(icon::sim::calibrationText(sensor), format, 2), 0);
    IconBuffer output;
    ASSERT_EQ(filter.prepareResult(output), 0);
    const icon::Component* c = output.getDataFormat()->getNamedComponent("Profile 1");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->getNamedSubComponent("Range X")->getValueType(), "FLOAT");
    EXPECT_EQ(c->getNamedSubComponent("Range R")->getWidth(), 64);
    ASSERT_TRUE(c->hasXRange());
    EXPECT_NEAR(c->getXMin(), -100.0, 0.01 * 200.0);
    EXPECT_LT(c->getXMax(), 100.0);

    IconBuffer input;
    ASSERT_EQ(input.init(format, 2), 0);
    putCog(input, 64 + 10, 100.25, 1000);  // numerator above 16 bits
    uint16_t* range = nullptr;
    ASSERT_EQ(input.getWritePointer("Peak 1", "Range", range), 0);
    range[20] = static_cast<uint16_t>(std::lround(40.5 * 16));
    ASSERT_EQ(filter.apply(input, output), 0);

    const float* xs = nullptr;
    const float* zs = nullptr;
    ASSERT_EQ(output.getReadPointer("Profile 1", "Range X", xs), 0);
    ASSERT_EQ(output.getReadPointer("Profile 1", "Range R", zs), 0);
    double col = 0.0;
    double row = 0.0;
    toSensor(sensor, xs[64 + 10], zs[64 + 10], col, row);
    EXPECT_NEAR(col, 10.0, 1e-3);
    EXPECT_NEAR(row, 100.25, 1e-3);
    EXPECT_TRUE(std::isnan(zs[0]));
    EXPECT_TRUE(std::isnan(xs[64 + 11]));
    ASSERT_EQ(output.getReadPointer("Peak 1", "Range R", zs), 0);
    ASSERT_EQ(output.getReadPointer("Peak 1", "Range X", xs), 0);
    toSensor(sensor, xs[20], zs[20], col, row);
    EXPECT_NEAR(col, 20.0, 1e-3);
    EXPECT_NEAR(row, 40.5, 1e-3);
}

class RectificationTest : public FilterTest {
  protected:
    void SetUp() override {
        icon::Component c("Profile 1", "FLOAT");
        c.addSubComponent(icon::SubComponent("Range X", "FLOAT", 4));
        c.addSubComponent(icon::SubComponent("Range R", "FLOAT", 4));
        c.setXRange(0.0, 10.0);
        format.addComponent(c);
        ASSERT_EQ(input.init(format, 1), 0);
        float* xs = nullptr;
        float* zs = nullptr;
        input.getWritePointer("Profile 1", "Range X", xs);
        input.getWritePointer("Profile 1", "Range R", zs);
        const float x[] = {1.0f, 1.5f, 9.9f, std::nanf("")};
        const float z[] = {3.0f, 7.0f, 2.0f, std::nanf("")};
        std::copy(x, x + 4, xs);
        std::copy(z, z + 4, zs);
    }

    void run(icon::RectificationFilter& filter, std::vector<float>& x, std::vector<float>& z) {
        ASSERT_EQ(filter.setInput(format, 1), 0);
        IconBuffer output;
        ASSERT_EQ(filter.prepareResult(output), 0);
        ASSERT_EQ(filter.apply(input, output), 0);
        const float* xs = nullptr;
        const float* zs = nullptr;
        ASSERT_EQ(output.getReadPointer("Profile 1", "X", xs), 0);
        ASSERT_EQ(output.getReadPointer("Profile 1", "Range", zs), 0);
        x.assign(xs, xs + 5);
        z.assign(zs, zs + 5);
    }

    icon::DataFormat format;
    IconBuffer input;
};

TEST_F(RectificationTest, MethodZeroKeepsTheHighestPointAndEmptyCellsAreNaN) {
    icon::RectificationFilter filter(5, 0, true, true);
    std::vector<float> x;
    std::vector<float> z;
    run(filter, x, z);
    EXPECT_EQ(x, (std::vector<float>{1.0f, 3.0f, 5.0f, 7.0f, 9.0f}));
    EXPECT_EQ(z[0], 7.0f);
    EXPECT_EQ(z[4], 2.0f);
    for (int k : {1, 2, 3}) {
        EXPECT_TRUE(std::isnan(z[k])) << k;
    }
}

TEST_F(RectificationTest, RangeFromTheScanAndZeroForEmptyCells) {
    icon::RectificationFilter filter(5, 0, false, false);
    std::vector<float> x;
    std::vector<float> z;
    run(filter, x, z);
    EXPECT_NEAR(x[0], 1.0 + 0.89, 1e-5);  // the scan spans 1.0 .. 9.9
    EXPECT_EQ(z[0], 7.0f);
    EXPECT_EQ(z[2], 0.0f);
    EXPECT_EQ(z[4], 2.0f);
}

TEST_F(RectificationTest, RejectsUnknownMethodAndMissingInput) {
    icon::RectificationFilter unknown(5, 1, true, true);
    EXPECT_EQ(unknown.setInput(format, 1), IconBuffer::E_UNSUPPORTED_LAYOUT);
    icon::RectificationFilter filter(5, 0, true, true);
    EXPECT_EQ(filter.setInput(cogFormat(4), 1), IconBuffer::E_SUBCOMPONENT_NOT_FOUND);
    EXPECT_EQ(filter.setInput(icon::DataFormat(), 1), IconBuffer::E_COMPONENT_NOT_FOUND);
}

// Calibrated points of `scans` scans of `width` columns with the X range
// `xMin` to `xMax`: X scattered over and past the range, heights with
// repeats and both zeros, and points that are not numbers.
struct CalibratedPoints {
    CalibratedPoints(int width, int scans, double xMin, double xMax, unsigned seed) {
        icon::Component c("Profile 1", "FLOAT");
        c.addSubComponent(icon::SubComponent("Range X", "FLOAT", width));
        c.addSubComponent(icon::SubComponent("Range R", "FLOAT", width));
        c.setXRange(xMin, xMax);
        format.addComponent(c);
        EXPECT_EQ(buffer.init(format, scans), 0);
        buffer.getWritePointer("Profile 1", "Range X", xs);
        buffer.getWritePointer("Profile 1", "Range R", zs);
        std::mt19937 random(seed);
        const double span = xMax - xMin;
        std::uniform_real_distribution<double> x(xMin - 0.1 * span, xMax + 0.1 * span);
        const float heights[] = {0.0f, -0.0f, 1.5f, 1.5f, -3.25f, std::nanf(""), INFINITY, 7.0f};
        for (size_t i = 0; i < static_cast<size_t>(width) * scans; ++i) {
            xs[i] = i % 13 == 0 ? std::nanf("") : static_cast<float>(x(random));
            zs[i] = i % 3 == 0 ? heights[random() % 8] : static_cast<float>(x(random));
        }
    }

    icon::DataFormat format;
    IconBuffer buffer;
    float* xs = nullptr;
    float* zs = nullptr;
};

// One scan resampled point by point: each point into the cell its X falls
// into, the highest point of a cell kept.
void resampleScan(const float* xs, const float* zs, int count, unsigned width, double xMin,
                  double xMax, float empty, float* outX, float* outZ) {
    const double cell = (xMax - xMin) / width;
    std::vector<bool> reached(width, false);
    for (unsigned k = 0; k < width; ++k) {
        outX[k] = static_cast<float>(xMin + (k + 0.5) * cell);
    }
    for (int i = 0; cell > 0.0 && i < count; ++i) {
        if (std::isfinite(xs[i]) && std::isfinite(zs[i]) && xs[i] >= xMin && xs[i] <= xMax) {
            const unsigned k = std::min(static_cast<unsigned>((xs[i] - xMin) / cell), width - 1);
            outZ[k] = reached[k] ? std::max(outZ[k], zs[i]) : zs[i];
            reached[k] = true;
        }
    }
    for (unsigned k = 0; k < width; ++k) {
        outZ[k] = reached[k] ? outZ[k] : empty;
    }
}

std::vector<uint32_t> bitsOf(const float* values, size_t count) {
    std::vector<uint32_t> bits(count);
    std::memcpy(bits.data(), values, count * sizeof(float));
    return bits;
}

// Checks `filter`'s result for `points` against point-by-point resampling.
void expectResampled(icon::RectificationFilter& filter, const CalibratedPoints& points,
                     unsigned width, bool fixedRange, bool emptyAsNaN) {
    const int scans = points.buffer.getHeight();
    const icon::Component& c = *points.format.getComponent(0);
    const int count = c.getSubComponent(0)->getWidth();
    ASSERT_EQ(filter.setInput(points.format, scans), 0);
    IconBuffer output;
    ASSERT_EQ(filter.prepareResult(output), 0);
    ASSERT_EQ(filter.apply(points.buffer, output), 0);
    const float* outX = nullptr;
    const float* outZ = nullptr;
    ASSERT_EQ(output.getReadPointer("Profile 1", "X", outX), 0);
    ASSERT_EQ(output.getReadPointer("Profile 1", "Range", outZ), 0);
    std::vector<float> x(width);
    std::vector<float> z(width);
    for (int scan = 0; scan < scans; ++scan) {
        const float* xs = points.xs + static_cast<size_t>(scan) * count;
        const float* zs = points.zs + static_cast<size_t>(scan) * count;
        double xMin = c.getXMin();
        double xMax = c.getXMax();
        if (!fixedRange) {
            xMin = INFINITY;
            xMax = -INFINITY;
            for (int i = 0; i < count; ++i) {
                if (std::isfinite(xs[i])) {
                    xMin = std::min<double>(xMin, xs[i]);
                    xMax = std::max<double>(xMax, xs[i]);
                }
            }
        }
        resampleScan(xs, zs, count, width, xMin, xMax, emptyAsNaN ? std::nanf("") : 0.0f, x.data(),
                     z.data());
        const size_t first = static_cast<size_t>(scan) * width;
        ASSERT_EQ(bitsOf(x.data(), width), bitsOf(outX + first, width)) << "X of scan " << scan;
        ASSERT_EQ(bitsOf(z.data(), width), bitsOf(outZ + first, width)) << "Z of scan " << scan;
    }
}

TEST(Rectification, EveryScanIsThePointByPointResamplingBitForBit) {
    const CalibratedPoints points(301, 12, -40.5, 61.25, 3);
    for (unsigned width : {1u, 5u, 300u, 1003u}) {
        for (bool fixedRange : {true, false}) {
            for (bool emptyAsNaN : {true, false}) {
                SCOPED_TRACE(testing::Message() << "width " << width << " fixed " << fixedRange
                                                << " NaN " << emptyAsNaN);
                icon::RectificationFilter filter(width, 0, fixedRange, emptyAsNaN);
                expectResampled(filter, points, width, fixedRange, emptyAsNaN);
            }
        }
    }
}

// The grid of a fixed range follows the format last given, also when the
// width of the result stays the same.
// A corner's X rounds to the nearest float, which may lie past the exact
// range: the range must hold it, or a belt reaching the sensor's edge leaves
// the last cell empty.
TEST(Rectification, BeltReachingTheEdgeOfTheViewFillsTheLastCell) {
    icon::sim::DeviceConfig device = icontest::smallDevice();
    device.sensor = icon::sim::SensorGeometry::standard(1536, 128, 300.0, 150.0, 0.0);
    device.scene.beltWidth = 400.0;
    const icon::DataFormat format(icon::sim::defaultDataFormat(device, "Measurement"));
    IconBuffer buffer;
    ASSERT_EQ(buffer.init(format, 1), 0);
    icon::sim::SceneRenderer(device, format).renderScan(buffer, 0, 0);
    icon::CalibrationFilter calibration("");
    ASSERT_EQ(calibration.initFromData(icon::sim::calibrationText(device.sensor), format, 1), 0);
    IconBuffer calibrated;
    ASSERT_EQ(calibration.prepareResult(calibrated), 0);
    ASSERT_EQ(calibration.apply(buffer, calibrated), 0);
    const icon::Component& component = *calibrated.getDataFormat()->getComponent(0);
    const float* xs = nullptr;
    ASSERT_EQ(calibrated.getReadPointer(component.getName(), "Range X", xs), 0);
    EXPECT_LE(component.getXMin(), xs[0]);
    EXPECT_GE(component.getXMax(), xs[1535]);

    icon::DataFormat points;
    points.addComponent(component);
    icon::RectificationFilter filter(1536, 0, true, true);
    ASSERT_EQ(filter.setInput(points, 1), 0);
    IconBuffer output;
    ASSERT_EQ(filter.prepareResult(output), 0);
    ASSERT_EQ(filter.apply(calibrated, output), 0);
    const float* heights = nullptr;
    ASSERT_EQ(output.getReadPointer(component.getName(), "Range", heights), 0);
    EXPECT_NEAR(0.0f, heights[0], 0.01f) << "the first cell";
    EXPECT_NEAR(0.0f, heights[1535], 0.01f) << "the last cell";
}

TEST(Rectification, ANewInputMovesTheFixedGrid) {
    icon::RectificationFilter filter(64, 0, true, true);
    expectResampled(filter, CalibratedPoints(100, 3, 0.0, 10.0, 4), 64, true, true);
    expectResampled(filter, CalibratedPoints(100, 3, 5.0, 25.0, 5), 64, true, true);
    expectResampled(filter, CalibratedPoints(37, 2, -8.0, -1.0, 6), 64, true, true);
}

TEST(Rectification, AnEndlessFixedRangePutsEveryPointIntoTheFirstCell) {
    CalibratedPoints points(9, 2, -INFINITY, INFINITY, 7);
    for (int i = 0; i < 18; ++i) {
        points.xs[i] = i == 4 ? std::nanf("") : static_cast<float>(i * 1e6 - 7.0);
    }
    icon::RectificationFilter filter(4, 0, true, true);
    ASSERT_EQ(filter.setInput(points.format, 2), 0);
    IconBuffer output;
    ASSERT_EQ(filter.prepareResult(output), 0);
    ASSERT_EQ(filter.apply(points.buffer, output), 0);
    const float* zs = nullptr;
    ASSERT_EQ(output.getReadPointer("Profile 1", "Range", zs), 0);
    for (int scan = 0; scan < 2; ++scan) {
        float top = -INFINITY;
        for (int i = 0; i < 9; ++i) {
            const float x = points.xs[scan * 9 + i];
            const float z = points.zs[scan * 9 + i];
            if (std::isfinite(x) && std::isfinite(z)) {
                top = std::max(top, z);
            }
        }
        EXPECT_EQ(top, zs[scan * 4]) << scan;
        for (int k = 1; k < 4; ++k) {
            EXPECT_TRUE(std::isnan(zs[scan * 4 + k])) << scan << "/" << k;
        }
    }
}

}  // namespace
