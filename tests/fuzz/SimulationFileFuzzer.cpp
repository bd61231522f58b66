// The stand-in's simulation file, and a few scans of every device it
// describes rendered into buffers of the device's data formats: the numbers
// of a file that parses must not make the renderer misbehave.

#include <string>

#include "icon/DataFormat.h"
#include "icon/IconBuffer.h"
#include "icon/Simulation.h"
#include "tests/fuzz/ScratchDirectory.h"

namespace {

constexpr int kScans = 3;
// Rendering allocates per column and per pixel of the sensor; beyond this the
// run would measure memory, not the renderer.
constexpr long kMostPixels = 1L << 20;

void Render(const icon::sim::DeviceConfig& device, const char* configuration) {
    const icon::DataFormat format(icon::sim::defaultDataFormat(device, configuration));
    if (!format.isValid()) {
        FuzzFailure(std::string("a parsed device has no valid ") + configuration + " format");
    }
    icon::IconBuffer buffer;
    if (buffer.init(format, kScans) != 0) {
        return;
    }
    icon::sim::SceneRenderer renderer(device, format);
    for (int slot = 0; slot < kScans; ++slot) {
        renderer.renderScan(buffer, slot, int64_t{slot} * 997 + device.encoderStart);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    icon::sim::SimulationConfig config;
    std::string error;
    if (!icon::sim::parseConfig(text, config, error)) {
        if (error.empty()) {
            FuzzFailure("a refused simulation file gives no reason");
        }
        return 0;
    }
    for (const icon::sim::DeviceConfig& device : config.devices) {
        const long pixels = static_cast<long>(device.sensor.columns) * device.sensor.rows;
        if (pixels > kMostPixels || device.scene.objects.size() > 64) {
            continue;
        }
        Render(device, "Measurement");
        Render(device, "Image");
    }
    return 0;
}
