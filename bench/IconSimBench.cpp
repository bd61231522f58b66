// Rendering must keep up with the camera: a 1536-column camera at 5000 scans
// per second leaves 200 microseconds per scan on one core.
#include <benchmark/benchmark.h>

#include "icon/CalibrationFilter.h"
#include "icon/Simulation.h"

namespace {

icon::sim::DeviceConfig fullSizeDevice() {
    icon::sim::DeviceConfig device = icon::sim::SimulationConfig::embeddedDefault().devices[0];
    device.lineRate = 5000.0;
    device.noise = 0.05;
    return device;
}

std::string formatText(const icon::sim::DeviceConfig& device, bool range16) {
    if (!range16) {
        return icon::sim::defaultDataFormat(device, "Measurement");
    }
    icon::Component range("Hor 1", "RANGE");
    range.addSubComponent(icon::SubComponent("Mark", "MARK", 2));
    range.addSubComponent(icon::SubComponent("Range", "WORD", device.sensor.columns));
    range.addSubComponent(icon::SubComponent("Intensity", "BYTE", device.sensor.columns));
    icon::DataFormat format;
    format.addComponent(range);
    return format.toString();
}

void renderScans(benchmark::State& state, bool range16) {
    const icon::sim::DeviceConfig device = fullSizeDevice();
    const icon::DataFormat format(formatText(device, range16));
    const int scans = 512;
    icon::IconBuffer buffer;
    buffer.init(format, scans);
    icon::sim::SceneRenderer renderer(device, format);
    int64_t scan = 0;
    for (auto _ : state) {
        renderer.renderScan(buffer, static_cast<int>(scan % scans), scan);
        ++scan;
    }
    state.SetItemsProcessed(state.iterations());
    // Share of one core that rendering takes at 5000 scans per second.
    state.counters["core_share_at_5000_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 5000.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_RenderCogScan(benchmark::State& state) {
    renderScans(state, false);
}
void BM_RenderRangeScan(benchmark::State& state) {
    renderScans(state, true);
}

void BM_CalibrateBuffer(benchmark::State& state) {
    const icon::sim::DeviceConfig device = fullSizeDevice();
    const icon::DataFormat format(formatText(device, false));
    const int scans = 512;
    icon::IconBuffer buffer;
    buffer.init(format, scans);
    icon::sim::SceneRenderer renderer(device, format);
    for (int s = 0; s < scans; ++s) {
        renderer.renderScan(buffer, s, s);
    }
    icon::CalibrationFilter calibration("");
    calibration.initFromData(icon::sim::calibrationText(device.sensor), format, scans);
    icon::IconBuffer output;
    calibration.prepareResult(output);
    for (auto _ : state) {
        benchmark::DoNotOptimize(calibration.apply(buffer, output));
    }
    state.SetItemsProcessed(state.iterations() * scans);
}

BENCHMARK(BM_RenderCogScan);
BENCHMARK(BM_RenderRangeScan);
BENCHMARK(BM_CalibrateBuffer);

}  // namespace
