#pragma once

#include <algorithm>
#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "icon/DataFormat.h"
#include "icon/IconBuffer.h"
#include "icon/Simulation.h"
#include "image/CameraState.h"
#include "image/ImageBuffer.h"
#include "tests/support/ContextFixture.h"

namespace imagetest {

// A 64-column camera whose rows are heights: the belt (height 0) lies on row
// 100 and every millimetre of height moves the line one row up. A box 40 mm
// high under the middle columns (x -25 to 25 mm, columns 24 to 40) spans the
// whole belt length, so every scan shows the belt on row 100 and the box top
// on row 60.
constexpr int kColumns = 64;
constexpr int kBeltRow = 100;
constexpr int kBoxRow = 60;

inline icon::sim::DeviceConfig SceneDevice() {
    icon::sim::DeviceConfig device;
    device.sensor = icon::sim::SensorGeometry::standard(kColumns, kBeltRow + 1, 200.0, 100.0, 0.0);
    device.scene.beltWidth = 200.0;
    device.scene.length = 1000.0;
    icon::sim::SceneObject box;
    box.x = 0.0;
    box.y = 0.0;
    box.width = 50.0;
    box.length = 1000.0;
    box.height = 40.0;
    device.scene.objects = {box};
    return device;
}

inline bool InsideBox(int column) {
    return column > 24 && column < 40;
}

inline bool BesideBox(int column) {
    return column < 23 || column > 41;
}

// SceneDevice with its box as light as the belt (0.5) and a second box, half
// as light (0.25) and 20 mm high (row 80), under columns 46 to 56: one
// reflectance at two heights, and two reflectances.
inline icon::sim::DeviceConfig TwoShadeDevice() {
    icon::sim::DeviceConfig device = SceneDevice();
    device.scene.beltReflectance = 0.5;
    device.scene.objects[0].reflectance = 0.5;
    icon::sim::SceneObject dark = device.scene.objects[0];
    dark.x = 60.0;
    dark.width = 30.0;
    dark.height = 20.0;
    dark.reflectance = 0.25;
    device.scene.objects.push_back(dark);
    return device;
}

// The reflectance TwoShadeDevice shows in `column`; 0 at the edges between.
inline double TwoShadeReflectance(int column) {
    if (column > 47 && column < 55) {
        return 0.25;
    }
    return InsideBox(column) || (BesideBox(column) && (column < 45 || column > 57)) ? 0.5 : 0.0;
}

// The weight of the line the camera gives for `reflectance`: that share of
// the most it gives, 8191 or what keeps row times weight within 19 bits.
inline uint32_t LineWeight(double reflectance, int rows) {
    const auto most = static_cast<float>(std::min(8191, 524287 / rows));
    return static_cast<uint32_t>(std::lround(static_cast<float>(reflectance) * most));
}

// The camera's own data formats: "Measurement" is one COG component
// "Profile 1" with marks, "Image" one IMAGE component "Frame 1" of sensor rows.
inline icon::DataFormat DeviceFormat(const icon::sim::DeviceConfig& device,
                                     const std::string& configuration) {
    return icon::DataFormat(icon::sim::defaultDataFormat(device, configuration));
}

// A "RANGE" component "Peak 1": marks, 16-bit range, 8-bit intensity.
inline icon::DataFormat RangeFormat(int columns) {
    icon::Component range("Peak 1", "RANGE");
    range.addSubComponent(icon::SubComponent("Mark", "MARK", 2));
    range.addSubComponent(icon::SubComponent("Range", "WORD", columns));
    range.addSubComponent(icon::SubComponent("Intensity", "BYTE", columns));
    icon::DataFormat format;
    format.addComponent(range);
    return format;
}

// A COG component "Profile 1", with or without marks.
inline icon::DataFormat CogFormat(int columns, bool marks) {
    icon::Component cog("Profile 1", "COG");
    if (marks) {
        cog.addSubComponent(icon::SubComponent("Mark", "MARK", 2));
    }
    cog.addSubComponent(icon::SubComponent("Sum", "WORD", columns));
    cog.addSubComponent(icon::SubComponent("XSum", "WORD", columns));
    icon::DataFormat format;
    format.addComponent(cog);
    return format;
}

inline boost::shared_ptr<icon::IconBuffer> EmptyBuffer(const icon::DataFormat& format, int scans) {
    auto buffer = boost::make_shared<icon::IconBuffer>();
    EXPECT_EQ(0, buffer->init(format, scans));
    return buffer;
}

// Scans `first` onward of the device's stream, as its frame grabber delivers them.
inline boost::shared_ptr<icon::IconBuffer> Render(const icon::sim::DeviceConfig& device,
                                                  const icon::DataFormat& format, int scans,
                                                  int64_t first = 0) {
    auto buffer = EmptyBuffer(format, scans);
    icon::sim::SceneRenderer renderer(device, format);
    for (int slot = 0; slot < scans; ++slot) {
        renderer.renderScan(*buffer, slot, first + slot);
    }
    return buffer;
}

template <typename T>
std::vector<T> Plane(const icon::IconBuffer& buffer, const std::string& component,
                     const std::string& sub) {
    const T* values = nullptr;
    EXPECT_EQ(0, buffer.getReadPointer(component, sub, values));
    const int width =
        buffer.getDataFormat()->getNamedComponent(component)->getNamedSubComponent(sub)->getWidth();
    return values == nullptr ? std::vector<T>()
                             : std::vector<T>(values, values + width * buffer.getHeight());
}

template <typename T>
void SetPlane(icon::IconBuffer& buffer, const std::string& component, const std::string& sub,
              const std::vector<T>& values) {
    T* data = nullptr;
    ASSERT_EQ(0, buffer.getWritePointer(component, sub, data));
    std::copy(values.begin(), values.end(), data);
}

inline float FloatAt(ImageBuffer& image, size_t point, int position) {
    float value;
    std::memcpy(&value,
                image.GetData() + point * image.GetBytesPerPixel() + position * sizeof(float),
                sizeof value);
    return value;
}

inline uint32_t WordAt(ImageBuffer& image, size_t point, int position) {
    uint32_t word;
    std::memcpy(&word,
                image.GetData() + point * image.GetBytesPerPixel() + position * sizeof(float),
                sizeof word);
    return word;
}

// Every byte 0xEE, so positions a helper must leave alone can be told apart.
inline std::unique_ptr<ImageBuffer> PointImage(int32_t bits, int32_t width, uint32_t scans) {
    auto image = std::make_unique<ImageBuffer>(bits, width, scans);
    std::memset(image->GetData(), 0xEE, static_cast<size_t>(image->GetByteSize()));
    return image;
}

inline bool Untouched(ImageBuffer& image, size_t point, int position) {
    return WordAt(image, point, position) == 0xEEEEEEEEu;
}

inline CameraState Camera(const icon::DataFormat& format, int32_t scans,
                          const std::string& name = "Cam") {
    CameraState camera(name);
    camera.dataFormat = boost::make_shared<icon::DataFormat>(format);
    camera.scansPerBuffer = scans;
    return camera;
}

// Clean driver context, and the simulation back at its default after.
class SimFixture : public ContextFixture {
  protected:
    void TearDown() override {
        icon::sim::resetConfiguration();
        ContextFixture::TearDown();
    }

    // Makes the filters fail: `operation` answers `code` from call `call` on.
    static void FailFilter(const std::string& operation, int code, icon::sim::Fault::Mode mode,
                           int call = 1) {
        icon::sim::SimulationConfig config;
        icon::sim::Fault fault;
        fault.operation = operation;
        fault.code = code;
        fault.mode = mode;
        fault.call = call;
        config.faults.push_back(fault);
        icon::sim::configure(config);
    }
};

}  // namespace imagetest
