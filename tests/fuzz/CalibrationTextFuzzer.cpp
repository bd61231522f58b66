// The calibration text of a camera's flash, as a 3D port's calibration and
// rectification stages take it, and one rendered buffer through both. The
// text is guarded by a checksum; with the first byte odd the target signs the
// fuzzed text itself, so the numbers behind the checksum get fuzzed as well.

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "icon/DataFormat.h"
#include "icon/IconBuffer.h"
#include "icon/Simulation.h"
#include "image/CalibrationFilter.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"
#include "image/RectificationFilter.h"

namespace {

constexpr int kScans = 4;

uint32_t Fnv1a(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

struct Setup {
    icon::sim::DeviceConfig device;
    icon::DataFormat format;
    ImageSource source{"Profile 1", "Range", 0, 1, true};
    icon::IconBuffer buffer;

    Setup() {
        device.sensor = icon::sim::SensorGeometry::standard(64, 32, 300.0, 150.0, 0.0005);
        device.scene.beltWidth = 300.0;
        format = icon::DataFormat(icon::sim::defaultDataFormat(device, "Measurement"));
        buffer.init(format, kScans);
        icon::sim::SceneRenderer renderer(device, format);
        for (int scan = 0; scan < kScans; ++scan) {
            renderer.renderScan(buffer, scan, scan * 40);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    if (size == 0) {
        return 0;
    }
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        char sum[32];
        std::snprintf(sum, sizeof sum, "checksum %08x\n", Fnv1a(text));
        text += sum;
    }
    try {
        auto calibration =
            std::make_unique<CalibrationFilter>(setup.format, setup.source, kScans, text);
        const int32_t width = (data[0] >> 1) % 128 + 1;
        std::unique_ptr<ExtractionHelper> helper;
        if (data[0] & 2) {
            helper = std::make_unique<RectificationFilter>(std::move(calibration), width);
        } else {
            helper = std::move(calibration);
        }
        ImageBuffer image(96, data[0] & 2 ? width : 64, kScans);
        helper->Extract(setup.buffer);
        helper->FillPoints(image, 0);
        helper->FillPoints(image, 2);
    } catch (const std::runtime_error&) {
        // Refused data is reported to the host by the adapter: not a finding.
    }
    return 0;
}
