// One full buffer of a 1536-column camera, 512 scans, to a point cloud: marks
// to Y, calibration and rectification to X and Z, laser-plane compensation
// and the height window, as the 3D adapter's processing thread runs them. The
// stages are also timed alone, next to a plain copy of the cloud's bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "icon/Simulation.h"
#include "image/CalibrationFilter.h"
#include "image/ExtractionHelper.h"
#include "image/ExtractionHelperScanMarks.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"
#include "image/PointProcessing.h"
#include "image/RectificationFilter.h"

namespace {

constexpr int kScans = 512;
const ImageSource kCogRange{"Profile 1", "Range", 0, 1, true};
const ImageSource kCogIntensity{"Profile 1", "Intensity", 0, 2, true};
const ImageSource kMarks{"Profile 1", "Mark", 0, 0, true};

icon::sim::DeviceConfig FullSizeDevice() {
    icon::sim::DeviceConfig device = icon::sim::SimulationConfig::embeddedDefault().devices[0];
    device.noise = 0.05;
    return device;
}

// The camera's buffer and the 3D adapter's helpers, built once.
struct Pipeline {
    explicit Pipeline(int32_t pointBits)
        : device(FullSizeDevice()),
          format(icon::sim::defaultDataFormat(device, "Measurement")),
          image(pointBits, device.sensor.columns, kScans) {
        buffer.init(format, kScans);
        icon::sim::SceneRenderer renderer(device, format);
        for (int scan = 0; scan < kScans; ++scan) {
            renderer.renderScan(buffer, scan, scan);
        }
        const std::string calibration = icon::sim::calibrationText(device.sensor);
        main = std::make_unique<RectificationFilter>(
            std::make_unique<CalibrationFilter>(format, kCogRange, kScans, calibration),
            device.sensor.columns);
        y = std::make_unique<ExtractionHelperScanMarks>(format, kMarks, kScans, 10.0f, true);
        if (pointBits == 160) {
            contrast = CreateExtractionHelper(format, kCogIntensity, kScans);
            intensity = CreateExtractionHelper(format, kMarks, kScans);
        }
    }

    void Extract() {
        y->Extract(buffer);
        main->Extract(buffer);
        if (contrast) {
            contrast->Extract(buffer);
            intensity->Extract(buffer);
        }
    }

    void Fill() {
        y->FillPoints(image, 1);
        main->FillPoints(image, 2);
        if (contrast) {
            contrast->FillPoints(image, 3);
            intensity->FillPoints(image, 4);
        }
    }

    size_t CompensateAndFilter() { return FilterPointRun(image, 0, 0, Points(), kWindow); }

    // Fill and window as the adapter runs them: a few scans at a time.
    size_t Build() {
        return BuildPoints(image, {y.get(), main.get(), contrast.get(), intensity.get()}, kWindow);
    }

    static constexpr HeightWindow kWindow{1.0, 1000.0, true, 20.0};

    size_t Points() const { return static_cast<size_t>(device.sensor.columns) * kScans; }

    icon::sim::DeviceConfig device;
    icon::DataFormat format;
    icon::IconBuffer buffer;
    ImageBuffer image;
    std::unique_ptr<ExtractionHelper> main;
    std::unique_ptr<ExtractionHelper> y;
    std::unique_ptr<ExtractionHelper> contrast;
    std::unique_ptr<ExtractionHelper> intensity;
};

// Items are points: every point of the buffer goes through every step.
void Report(benchmark::State& state, const Pipeline& pipeline, int32_t kept) {
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pipeline.Points()));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(pipeline.Points()) *
                            pipeline.image.GetBytesPerPixel());
    state.counters["kept"] = kept;
}

void WholeCloud(benchmark::State& state, int32_t pointBits) {
    Pipeline pipeline(pointBits);
    int32_t kept = 0;
    for (auto _ : state) {
        pipeline.Extract();
        kept = static_cast<int32_t>(pipeline.Build());
        benchmark::DoNotOptimize(pipeline.image.GetData());
        benchmark::ClobberMemory();
    }
    Report(state, pipeline, kept);
}

void BM_CloudXyz(benchmark::State& state) {
    WholeCloud(state, 96);
}

void BM_CloudXyzci(benchmark::State& state) {
    WholeCloud(state, 160);
}

// Where the time of an XYZ cloud goes: the camera API's filters (marks,
// calibration, rectification), the driver's filling of the points, and the
// driver's compensation and height window.
void BM_XyzStageFilters(benchmark::State& state) {
    Pipeline pipeline(96);
    for (auto _ : state) {
        pipeline.Extract();
        benchmark::ClobberMemory();
    }
    Report(state, pipeline, 0);
}

void BM_XyzStageFill(benchmark::State& state) {
    Pipeline pipeline(96);
    pipeline.Extract();
    for (auto _ : state) {
        pipeline.Fill();
        benchmark::DoNotOptimize(pipeline.image.GetData());
        benchmark::ClobberMemory();
    }
    Report(state, pipeline, 0);
}

void BM_XyzStageCompensateAndFilter(benchmark::State& state) {
    Pipeline pipeline(96);
    pipeline.Extract();
    int32_t kept = 0;
    for (auto _ : state) {
        // Filling first each time: the filter compacts the points it keeps.
        state.PauseTiming();
        pipeline.Fill();
        state.ResumeTiming();
        kept = static_cast<int32_t>(pipeline.CompensateAndFilter());
        benchmark::DoNotOptimize(pipeline.image.GetData());
        benchmark::ClobberMemory();
    }
    Report(state, pipeline, kept);
}

// The floor: copying the cloud's bytes once. Items are points, as above.
void Memcpy(benchmark::State& state, size_t pointBytes) {
    const size_t points = static_cast<size_t>(FullSizeDevice().sensor.columns) * kScans;
    std::vector<uint8_t> from(points * pointBytes, 0x5A);
    std::vector<uint8_t> to(points * pointBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(to.size()));
}

void BM_MemcpyXyz(benchmark::State& state) {
    Memcpy(state, 12);
}

void BM_MemcpyXyzci(benchmark::State& state) {
    Memcpy(state, 20);
}

BENCHMARK(BM_CloudXyz)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloudXyzci)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XyzStageFilters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XyzStageFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XyzStageCompensateAndFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyXyz)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyXyzci)->Unit(benchmark::kMillisecond);

}  // namespace
