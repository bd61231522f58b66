#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "SimTestSupport.h"
#include "icon/CalibrationFilter.h"

namespace {

using icon::IconBuffer;
using icon::sim::SceneObject;

constexpr int kColumns = 256;
constexpr int kRows = 256;

void copyBuffer(const IconBuffer& from, IconBuffer& to) {
    const icon::DataFormat& format = *from.getDataFormat();
    to.init(format, from.getHeight());
    for (int c = 0; c < format.numComponents(); ++c) {
        const icon::Component& component = *format.getComponent(c);
        for (int s = 0; s < component.numSubComponents(); ++s) {
            const icon::SubComponent& sub = *component.getSubComponent(s);
            const void* src = nullptr;
            void* dst = nullptr;
            from.getRawReadPointer(component.getName(), sub.getName(), src);
            to.getRawWritePointer(component.getName(), sub.getName(), dst);
            std::memcpy(
                dst, src,
                static_cast<size_t>(sub.getWidth() * sub.getElementSize() * from.getHeight()));
        }
    }
}

SceneObject object(SceneObject::Kind kind, double x, double y, double width, double length,
                   double height) {
    SceneObject o;
    o.kind = kind;
    o.x = x;
    o.y = y;
    o.width = width;
    o.length = length;
    o.height = height;
    return o;
}

SceneObject across(SceneObject o) {
    o.axis = SceneObject::ACROSS_BELT;
    return o;
}

// The scene's true height at (x, y), straight from its description.
double trueHeight(const icon::sim::Scene& scene, double x, double y) {
    double best = 0.0;
    for (const SceneObject& o : scene.objects) {
        const double u = y - o.y;
        const double v = x - o.x;
        if (u < 0.0 || u >= o.length || std::abs(v) > o.width / 2.0) {
            continue;
        }
        const bool along = o.axis == SceneObject::ALONG_BELT;
        double h = o.height;
        if (o.kind == SceneObject::RAMP) {
            h = along ? o.height * u / o.length : o.height * (v / o.width + 0.5);
        } else if (o.kind == SceneObject::CYLINDER) {
            const double r = o.height / 2.0;
            const double d = along ? v : u - r;
            h = r + std::sqrt(std::max(0.0, r * r - d * d));
        }
        best = std::max(best, h);
    }
    return best;
}

// Distance from (x, y) to the nearest edge of any object, across or along.
double edgeDistance(const icon::sim::Scene& scene, double x, double y) {
    double d = 1e9;
    for (const SceneObject& o : scene.objects) {
        d = std::min({d, std::abs(x - (o.x - o.width / 2.0)), std::abs(x - (o.x + o.width / 2.0))});
        if (std::abs(x - o.x) <= o.width / 2.0) {
            d = std::min({d, std::abs(y - o.y), std::abs(y - (o.y + o.length))});
        }
    }
    return d;
}

class SceneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        device = icontest::smallDevice();
        device.sensor = icon::sim::SensorGeometry::standard(kColumns, kRows, 200.0, 100.0, 0.001);
        device.scene.length = 100.0;
        device.scene.objects = {object(SceneObject::BOX, -50.0, 20.0, 40.0, 30.0, 25.0),
                                object(SceneObject::RAMP, 5.0, 10.0, 40.0, 50.0, 30.0),
                                object(SceneObject::CYLINDER, 60.0, 30.0, 40.0, 40.0, 40.0),
                                across(object(SceneObject::RAMP, -50.0, 60.0, 40.0, 30.0, 20.0)),
                                across(object(SceneObject::CYLINDER, 5.0, 65.0, 40.0, 30.0, 30.0))};
    }
    void TearDown() override { icon::sim::resetConfiguration(); }

    // The first buffer of the stream, copied out of the callback.
    void grabFirst(int scans, IconBuffer& copy, const std::string& configuration = "Measurement") {
        icon::sim::configure(icontest::quickConfig({device}));
        icontest::Collector collector;
        collector.onBuffer = [&](const IconBuffer& b) {
            if (copy.getHeight() == 0) {
                copyBuffer(b, copy);
            }
        };
        icontest::Rig rig;
        ASSERT_EQ(rig.open(device.ip, scans, &icontest::Collector::callback, &collector), 0);
        ASSERT_EQ(rig.camera->setActiveConfiguration(configuration), 0);
        std::string format;
        ASSERT_EQ(rig.camera->getDataFormat("", format), 0);
        rig.grabber->getParameters()->setDataFormat(format);
        ASSERT_EQ(rig.start(), 0);
        ASSERT_TRUE(collector.waitFor(1));
        rig.camera->stop();
        flash = icon::sim::calibrationText(device.sensor);
    }

    icon::sim::DeviceConfig device;
    std::string flash;
};

// Decoding the centre of gravity and calibrating it gives back the scene,
// whatever the order in which the scene lists its objects.
TEST_F(SceneTest, CalibratedSurfaceMatchesTheTrueHeightsInEveryOrderOfObjects) {
    device.noise = 0.05;    // rows; bounded, so at most 0.07 mm of height
    const int scans = 200;  // one scene period: 200 scans of 0.5 mm
    std::vector<SceneObject> objects = device.scene.objects;
    for (size_t order = 0; order < 2 * objects.size(); ++order) {
        device.scene.objects = objects;
        std::rotate(device.scene.objects.begin(),
                    device.scene.objects.begin() + static_cast<long>(order / 2),
                    device.scene.objects.end());
        if (order % 2 == 1) {
            std::reverse(device.scene.objects.begin(), device.scene.objects.end());
        }
        IconBuffer buffer;
        grabFirst(scans, buffer);
        icon::CalibrationFilter calibration("");
        ASSERT_EQ(calibration.initFromData(flash, *buffer.getDataFormat(), scans), 0);
        IconBuffer calibrated;
        ASSERT_EQ(calibration.prepareResult(calibrated), 0);
        ASSERT_EQ(calibration.apply(buffer, calibrated), 0);
        const float* xs = nullptr;
        const float* zs = nullptr;
        const int32_t* marks = nullptr;
        ASSERT_EQ(calibrated.getReadPointer("Profile 1", "Range X", xs), 0);
        ASSERT_EQ(calibrated.getReadPointer("Profile 1", "Range R", zs), 0);
        ASSERT_EQ(buffer.getReadPointer("Profile 1", "Mark", marks), 0);

        int checked = 0;
        int onObjects = 0;
        double worst = 0.0;
        for (int s = 0; s < scans; ++s) {
            const double y = (marks[2 * s] - device.encoderStart) / device.pulsesPerMillimeter;
            for (int c = 0; c < kColumns; ++c) {
                const size_t i = static_cast<size_t>(s) * kColumns + c;
                if (std::isnan(zs[i]) || edgeDistance(device.scene, xs[i], y) < 1.5) {
                    continue;
                }
                const double truth = trueHeight(device.scene, xs[i], y);
                worst = std::max(worst, std::abs(zs[i] - truth));
                ++checked;
                onObjects += truth > 0.0 ? 1 : 0;
            }
        }
        EXPECT_LT(worst, 0.1) << "order " << order;
        EXPECT_GT(checked, scans * kColumns * 7 / 10) << "order " << order;
        EXPECT_GT(onObjects, scans * kColumns / 5) << "order " << order;
    }
}

// Every kind of object beside every other, in both orders, keeps its own
// height where it stands: one cross-section serves all objects of a scan, so
// a shape left over from the object before would show here.
TEST_F(SceneTest, EveryPairOfKindsInEitherOrderKeepsEachObjectsShape) {
    const SceneObject kinds[] = {object(SceneObject::BOX, 0.0, 0.0, 40.0, 30.0, 30.0),
                                 object(SceneObject::RAMP, 0.0, 0.0, 40.0, 30.0, 30.0),
                                 across(object(SceneObject::RAMP, 0.0, 0.0, 40.0, 30.0, 30.0)),
                                 object(SceneObject::CYLINDER, 0.0, 0.0, 30.0, 30.0, 30.0),
                                 across(object(SceneObject::CYLINDER, 0.0, 0.0, 40.0, 30.0, 30.0))};
    const icon::DataFormat format(icon::sim::defaultDataFormat(device, "Measurement"));
    const std::string flash = icon::sim::calibrationText(device.sensor);
    // Scan 20 lies 10 mm into every object: below the tops of the ramp and
    // the cylinder across the belt, on the box's.
    const double y = 20 * device.pulsesPerScan / device.pulsesPerMillimeter;
    for (const SceneObject& first : kinds) {
        for (const SceneObject& second : kinds) {
            device.scene.objects = {first, second};
            device.scene.objects[0].x = -50.0;
            device.scene.objects[1].x = 50.0;
            IconBuffer buffer;
            ASSERT_EQ(buffer.init(format, 1), 0);
            icon::sim::SceneRenderer(device, format).renderScan(buffer, 0, 20);
            icon::CalibrationFilter calibration("");
            ASSERT_EQ(calibration.initFromData(flash, format, 1), 0);
            IconBuffer calibrated;
            ASSERT_EQ(calibration.prepareResult(calibrated), 0);
            ASSERT_EQ(calibration.apply(buffer, calibrated), 0);
            const float* xs = nullptr;
            const float* zs = nullptr;
            ASSERT_EQ(calibrated.getReadPointer("Profile 1", "Range X", xs), 0);
            ASSERT_EQ(calibrated.getReadPointer("Profile 1", "Range R", zs), 0);
            for (const SceneObject& o : device.scene.objects) {
                int checked = 0;
                for (int c = 0; c < kColumns; ++c) {
                    if (std::isnan(zs[c]) || std::abs(xs[c] - o.x) > o.width / 2.0 - 3.0) {
                        continue;
                    }
                    ++checked;
                    ASSERT_NEAR(trueHeight(device.scene, xs[c], y), zs[c], 0.05)
                        << "kinds " << first.kind << "/" << first.axis << " then " << second.kind
                        << "/" << second.axis << ", object at x " << o.x << ", column " << c;
                }
                EXPECT_GT(checked, 20)
                    << "kinds " << first.kind << "/" << first.axis << " then " << second.kind << "/"
                    << second.axis << ", object at x " << o.x;
            }
        }
    }
}

TEST_F(SceneTest, BoxEdgesLieWhereTheSceneHasThem) {
    device.scene.objects = {object(SceneObject::BOX, -20.0, 10.0, 50.0, 20.0, 30.0)};
    IconBuffer buffer;
    grabFirst(40, buffer);  // scans 0.5 mm apart: scan 30 is at y = 15
    icon::CalibrationFilter calibration("");
    ASSERT_EQ(calibration.initFromData(flash, *buffer.getDataFormat(), 40), 0);
    IconBuffer calibrated;
    ASSERT_EQ(calibration.prepareResult(calibrated), 0);
    ASSERT_EQ(calibration.apply(buffer, calibrated), 0);
    const float* xs = nullptr;
    const float* zs = nullptr;
    calibrated.getReadPointer("Profile 1", "Range X", xs);
    calibrated.getReadPointer("Profile 1", "Range R", zs);
    double left = 1e9;
    double right = -1e9;
    for (int c = 0; c < kColumns; ++c) {
        const size_t i = 30 * kColumns + c;
        if (zs[i] > 15.0) {
            left = std::min<double>(left, xs[i]);
            right = std::max<double>(right, xs[i]);
        }
    }
    const double column = 200.0 / kColumns;
    EXPECT_NEAR(left, -45.0, 1.5 * column);
    EXPECT_NEAR(right, 5.0, 1.5 * column);
    // Before the box arrives the whole line lies on the belt.
    for (int c = 10; c < kColumns - 10; ++c) {
        EXPECT_NEAR(zs[10 * kColumns + c], 0.0, 0.1) << c;
    }
}

TEST_F(SceneTest, DarkObjectsAndGapsBesideTheBeltGiveSumZero) {
    device.scene.beltWidth = 100.0;
    device.scene.objects = {object(SceneObject::BOX, 0.0, 0.0, 20.0, 100.0, 10.0)};
    device.scene.objects[0].reflectance = 0.0;
    IconBuffer buffer;
    grabFirst(4, buffer);
    const uint16_t* sum = nullptr;
    ASSERT_EQ(buffer.getReadPointer("Profile 1", "Sum", sum), 0);
    EXPECT_EQ(sum[0], 0);                  // x = -100: beside the belt
    EXPECT_EQ(sum[kColumns / 2], 0);       // x = 0: the dark box
    EXPECT_NE(sum[kColumns / 4 + 10], 0);  // on the belt
}

// With perspective 1/40 a point 40 mm high lies at the horizon of the view:
// its column is infinite. The box still renders, every line inside the sensor.
TEST_F(SceneTest, ObjectReachingTheHorizonOfTheViewRenders) {
    const int rows = 32;
    device.sensor = icon::sim::SensorGeometry::standard(kColumns, rows, 300.0, 150.0, 1.0 / 40.0);
    device.scene.objects = {object(SceneObject::BOX, 0.0, 0.0, 100.0, 1000.0, 40.0)};
    const icon::DataFormat format(icon::sim::defaultDataFormat(device, "Measurement"));
    IconBuffer buffer;
    ASSERT_EQ(buffer.init(format, 1), 0);
    icon::sim::SceneRenderer(device, format).renderScan(buffer, 0, 0);
    const uint16_t* sum = nullptr;
    const uint16_t* xsum = nullptr;
    ASSERT_EQ(buffer.getReadPointer("Profile 1", "Sum", sum), 0);
    ASSERT_EQ(buffer.getReadPointer("Profile 1", "XSum", xsum), 0);
    for (int c = 0; c < kColumns; ++c) {
        const uint32_t weight = sum[c] & 0x1FFFu;
        if (weight != 0) {
            EXPECT_LT((((static_cast<uint32_t>(sum[c]) >> 13) << 16) + xsum[c]) / weight,
                      static_cast<uint32_t>(rows))
                << c;
        }
    }
}

TEST_F(SceneTest, ImageConfigurationShowsTheLaserLine) {
    device.scene.objects = {object(SceneObject::BOX, 0.0, 0.0, 300.0, 1000.0, 50.0)};
    IconBuffer image;
    grabFirst(kRows, image, "Image");  // one sensor frame: one scan per row
    const uint8_t* pixels = nullptr;
    ASSERT_EQ(image.getReadPointer("Frame 1", "Image", pixels), 0);
    const auto& h = device.sensor.homography;
    for (int c = 5; c < kColumns - 5; c += 25) {
        int brightest = 0;
        for (int r = 1; r < kRows; ++r) {
            if (pixels[r * kColumns + c] > pixels[brightest * kColumns + c]) {
                brightest = r;
            }
        }
        // The whole width is at height 50: row = (h5 + h4 z) / (h8 + h7 z).
        const double expected = (h[5] + h[4] * 50.0) / (h[8] + h[7] * 50.0);
        EXPECT_NEAR(brightest, expected, 0.5) << c;
        EXPECT_GT(pixels[brightest * kColumns + c], 150);
        EXPECT_EQ(pixels[(brightest + 10) * kColumns + c], 0);
    }
}

TEST_F(SceneTest, SameConfigurationGivesTheSameBytes) {
    device.noise = 0.3;
    IconBuffer first;
    IconBuffer second;
    grabFirst(32, first);
    grabFirst(32, second);
    const uint16_t* a = nullptr;
    const uint16_t* b = nullptr;
    first.getReadPointer("Profile 1", "XSum", a);
    second.getReadPointer("Profile 1", "XSum", b);
    EXPECT_EQ(0, std::memcmp(a, b, 32 * kColumns * 2));
    device.seed = 99;
    IconBuffer other;
    grabFirst(32, other);
    other.getReadPointer("Profile 1", "XSum", b);
    EXPECT_NE(0, std::memcmp(a, b, 32 * kColumns * 2));
}

}  // namespace
