// The whole driver at full size: a 1536-column camera delivering buffers of
// 512 scans as fast as the driver takes them (replay), through the entry
// points, in continuous mode. Scans per second shows the headroom over the
// camera's line rate. The row read alone is timed on an open port, against
// memcpy of the same row.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "icon/Simulation.h"
#include "vavezaz/CvlDriver.h"

namespace {

constexpr int kPort = 1;
constexpr int kScans = 512;

std::mutex mutex;
std::condition_variable announced;
int images = 0;
bool readRows = false;
std::vector<unsigned char> row(1536);

int OnImage(int, int port) {
    if (readRows) {
        for (int r = 0; r < kScans; ++r) {
            getCVLGrabRow(0, port, row.data(), r, 0, static_cast<int>(row.size()) - 1);
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++images;
    }
    announced.notify_all();
    return 0;
}

void WaitForImage(int count) {
    std::unique_lock<std::mutex> lock(mutex);
    announced.wait(lock, [count] { return images >= count; });
}

int Images() {
    std::lock_guard<std::mutex> lock(mutex);
    return images;
}

// Opens the camera on the port with replayed buffers, streaming in continuous
// mode or waiting for grabs; closes it on scope exit.
class Streaming {
  public:
    explicit Streaming(bool continuous = true)
        : dir_(std::filesystem::temp_directory_path() / "vavezaz-bench") {
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ / "VaveZAZ.ini")
            << "[192.168.0.10]\nNumberOfScans=" << kScans << "\nBufferSize=20\n";
        icon::sim::SimulationConfig config = icon::sim::SimulationConfig::embeddedDefault();
        config.devices[0].replayBuffers = 4;
        icon::sim::configure(config);
        initialize(dir_.c_str(), nullptr);
        int size[2];
        ok_ = openCVLPort(0, kPort, "192.168.0.10.1", size) == 1 &&
              setCompleteCallback(0, kPort, &OnImage) == 1 &&
              setProperty(0, kPort, "continuous", continuous ? 1 : 0) == 1;
    }
    ~Streaming() {
        closeCVLPort(0, kPort);
        finalize();
        std::filesystem::remove_all(dir_);
    }
    bool Ok() const { return ok_; }

  private:
    std::filesystem::path dir_;
    bool ok_ = false;
};

void Run(benchmark::State& state, bool withRows) {
    readRows = withRows;
    Streaming streaming;
    if (!streaming.Ok()) {
        state.SkipWithError("the camera did not open");
        return;
    }
    WaitForImage(Images() + 1);
    for (auto _ : state) {
        WaitForImage(Images() + 1);
    }
    state.SetItemsProcessed(state.iterations() * kScans);
    state.counters["scans/s"] = benchmark::Counter(static_cast<double>(state.iterations() * kScans),
                                                   benchmark::Counter::kIsRate);
}

// One grabbed image on an open port, then one 1536-byte row read after
// another through the entry point, cycling over the rows.
void BM_GrabRow(benchmark::State& state) {
    readRows = false;
    Streaming streaming(false);
    if (!streaming.Ok()) {
        state.SkipWithError("the camera did not open");
        return;
    }
    const int before = Images();
    if (doCVLGrab(0, kPort) != 1) {
        state.SkipWithError("the grab failed");
        return;
    }
    WaitForImage(before + 1);
    const int lastColumn = static_cast<int>(row.size()) - 1;
    int r = 0;
    for (auto _ : state) {
        if (getCVLGrabRow(0, kPort, row.data(), r, 0, lastColumn) != 1) {
            state.SkipWithError("a row read failed");
            return;
        }
        benchmark::DoNotOptimize(row.data());
        benchmark::ClobberMemory();
        r = (r + 1) % kScans;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(row.size()));
}

// The floor for a row read: memcpy of the same 1536 bytes, cycling over the
// rows of an image of the same size.
void BM_MemcpyRow(benchmark::State& state) {
    const std::vector<unsigned char> image(row.size() * kScans, 0x5A);
    int r = 0;
    for (auto _ : state) {
        std::memcpy(row.data(), image.data() + static_cast<size_t>(r) * row.size(), row.size());
        benchmark::DoNotOptimize(row.data());
        benchmark::ClobberMemory();
        r = (r + 1) % kScans;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(row.size()));
}

void BM_ContinuousGrab(benchmark::State& state) {
    Run(state, false);
}
void BM_ContinuousGrabReadingEveryRow(benchmark::State& state) {
    Run(state, true);
}

}  // namespace

BENCHMARK(BM_GrabRow);
BENCHMARK(BM_MemcpyRow);
BENCHMARK(BM_ContinuousGrab)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ContinuousGrabReadingEveryRow)->Unit(benchmark::kMillisecond)->UseRealTime();
