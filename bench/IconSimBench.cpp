// Rendering must keep up with the camera: a 1536-column camera at 5000 scans
// per second leaves 200 microseconds per scan on one core. The scene repeats,
// so once its period is cached a scan costs about a copy of its bytes; the
// uncached cases show what the first pass over the period costs.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "icon/CalibrationFilter.h"
#include "icon/EthernetCamera.h"
#include "icon/FrameGrabber.h"
#include "icon/Simulation.h"

namespace {

constexpr int kScans = 512;

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
    icon::Component range("Peak 1", "RANGE");
    range.addSubComponent(icon::SubComponent("Mark", "MARK", 2));
    range.addSubComponent(icon::SubComponent("Range", "WORD", device.sensor.columns));
    range.addSubComponent(icon::SubComponent("Intensity", "BYTE", device.sensor.columns));
    icon::DataFormat format;
    format.addComponent(range);
    return format.toString();
}

void renderScans(benchmark::State& state, bool range16, size_t cacheBytes) {
    const icon::sim::DeviceConfig device = fullSizeDevice();
    const icon::DataFormat format(formatText(device, range16));
    icon::IconBuffer buffer;
    buffer.init(format, kScans);
    icon::sim::SceneRenderer renderer(device, format, cacheBytes);
    int64_t scan = 0;
    for (auto _ : state) {
        renderer.renderScan(buffer, static_cast<int>(scan % kScans), scan);
        ++scan;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * format.getScanSize());
    // Share of one core that rendering takes at 5000 scans per second.
    state.counters["core_share_at_5000_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 5000.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_RenderCogScan(benchmark::State& state) {
    renderScans(state, false, icon::sim::SceneRenderer::kDefaultCacheBytes);
}
void BM_RenderRangeScan(benchmark::State& state) {
    renderScans(state, true, icon::sim::SceneRenderer::kDefaultCacheBytes);
}
void BM_RenderCogScanUncached(benchmark::State& state) {
    renderScans(state, false, 0);
}
void BM_RenderRangeScanUncached(benchmark::State& state) {
    renderScans(state, true, 0);
}

// The floor of a cached scan: a copy of one COG scan's bytes (Sum and XSum)
// into the buffer slot after slot.
void BM_MemcpyCogScan(benchmark::State& state) {
    const size_t bytes = 2 * 2 * 1536;
    std::vector<uint8_t> period(bytes * 2000, 1);
    std::vector<uint8_t> buffer(bytes * kScans);
    size_t scan = 0;
    for (auto _ : state) {
        std::memcpy(&buffer[(scan % kScans) * bytes], &period[(scan % 2000) * bytes], bytes);
        benchmark::ClobberMemory();
        ++scan;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

std::atomic<long long> deliveredScans{0};

void countScans(const icon::IconBuffer* buffer, icon::FrameGrabber*, void*) {
    deliveredScans += buffer->getHeight();
}

// One simulated camera streaming through a frame grabber, as the driver
// opens it, with 512-scan buffers.
class SimulatedStream {
  public:
    explicit SimulatedStream(const icon::sim::DeviceConfig& device) {
        camera_.reset(
            dynamic_cast<icon::EthernetCamera*>(icon::createCamera("EthernetCamera", "bench")));
        grabber_.reset(icon::createFrameGrabber("FGEthernet", "bench"));
        auto& p = dynamic_cast<icon::FGEthernetParameters&>(*grabber_->getParameters());
        int port = 0;
        std::string format;
        ok_ = camera_->setComParameters(device.ip, p.getFrameGrabberPort(), -1, 0) == 0 &&
              camera_->init() == 0 && camera_->getCameraDataPort(port) == 0 &&
              camera_->getDataFormat("", format) == 0;
        p.setCameraIP(device.ip);
        p.setCameraPort(port);
        p.setBufferSize(64);
        p.setNoScans(kScans);
        p.setCallback(&countScans);
        p.setDataFormat(format);
        ok_ =
            ok_ && grabber_->connect() == 0 && grabber_->startGrab() == 0 && camera_->start() == 0;
    }
    ~SimulatedStream() {
        camera_->stop();
        grabber_->disconnect();
        camera_->close();
    }
    bool ok() const { return ok_; }
    long long lateScans() const { return grabber_->getLateScans(); }

  private:
    std::unique_ptr<icon::EthernetCamera> camera_;
    std::unique_ptr<icon::FrameGrabber> grabber_;
    bool ok_ = false;
};

icon::sim::DeviceConfig streamingDevice(int index, double lineRate) {
    icon::sim::DeviceConfig device = fullSizeDevice();
    device.ip = "10.1.0." + std::to_string(index + 1);
    device.seed = static_cast<uint64_t>(index + 1);
    device.lineRate = lineRate;
    device.lostPacketRate = 0.0001;
    return device;
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void waitForScans(long long count) {
    while (deliveredScans.load() < count) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// One camera asked for far more scans per second than it can render: it
// streams as fast as it can, skipping (and counting late) what it cannot
// produce. scans_per_s is what it delivered, once its scene's period is cached.
void BM_StreamOneCameraFlatOut(benchmark::State& state) {
    icon::sim::SimulationConfig config;
    config.devices = {streamingDevice(0, 1e7)};
    icon::sim::configure(config);
    deliveredScans = 0;
    SimulatedStream stream(config.devices[0]);
    if (!stream.ok()) {
        state.SkipWithError("the camera did not stream");
        return;
    }
    waitForScans(4000);  // two periods of the scene: the cache is full
    const long long start = deliveredScans.load();
    const double cpuStart = processCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        waitForScans(deliveredScans.load() + kScans);
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double scans = static_cast<double>(deliveredScans.load() - start);
    state.counters["scans_per_s"] = scans / wall;
    state.counters["cpu_per_wall"] = (processCpuSeconds() - cpuStart) / wall;
    icon::sim::resetConfiguration();
}

// Ten cameras at 5000 scans per second, the load of ten cameras × two ports
// (a camera's ports share its grabber). core_share is the process's CPU time
// over the wall time: the simulation's share of one core.
void BM_TenCamerasAt5000(benchmark::State& state) {
    icon::sim::SimulationConfig config;
    for (int i = 0; i < 10; ++i) {
        config.devices.push_back(streamingDevice(i, 5000.0));
    }
    icon::sim::configure(config);
    deliveredScans = 0;
    std::vector<std::unique_ptr<SimulatedStream>> streams;
    for (const auto& device : config.devices) {
        streams.push_back(std::make_unique<SimulatedStream>(device));
        if (!streams.back()->ok()) {
            state.SkipWithError("a camera did not stream");
            return;
        }
    }
    waitForScans(10LL * 4096);  // past two periods of the scene on each camera
    const long long start = deliveredScans.load();
    const double cpuStart = processCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    long long late = 0;
    for (const auto& stream : streams) {
        late += stream->lateScans();
    }
    state.counters["scans_per_s"] = static_cast<double>(deliveredScans.load() - start) / wall;
    state.counters["core_share"] = (processCpuSeconds() - cpuStart) / wall;
    state.counters["late_scans"] = static_cast<double>(late);
    streams.clear();
    icon::sim::resetConfiguration();
}

void BM_CalibrateBuffer(benchmark::State& state) {
    const icon::sim::DeviceConfig device = fullSizeDevice();
    const icon::DataFormat format(formatText(device, false));
    icon::IconBuffer buffer;
    buffer.init(format, kScans);
    icon::sim::SceneRenderer renderer(device, format);
    for (int s = 0; s < kScans; ++s) {
        renderer.renderScan(buffer, s, s);
    }
    icon::CalibrationFilter calibration("");
    calibration.initFromData(icon::sim::calibrationText(device.sensor), format, kScans);
    icon::IconBuffer output;
    calibration.prepareResult(output);
    for (auto _ : state) {
        benchmark::DoNotOptimize(calibration.apply(buffer, output));
    }
    state.SetItemsProcessed(state.iterations() * kScans);
}

BENCHMARK(BM_RenderCogScan);
BENCHMARK(BM_RenderRangeScan);
BENCHMARK(BM_RenderCogScanUncached);
BENCHMARK(BM_RenderRangeScanUncached);
BENCHMARK(BM_MemcpyCogScan);
BENCHMARK(BM_StreamOneCameraFlatOut)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TenCamerasAt5000)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_CalibrateBuffer);

}  // namespace
