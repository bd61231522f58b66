// The whole driver at full size: a 1536-column camera delivering buffers of
// 512 scans as fast as the driver takes them (replay), through the entry
// points, in continuous mode. Scans per second shows the headroom over the
// camera's line rate.
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "driver/CvlDriver.h"
#include "icon/Simulation.h"

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

// Opens the camera on the port with replayed buffers; closes it on scope exit.
class Streaming {
  public:
    Streaming() : dir_(std::filesystem::temp_directory_path() / "vavezaz-bench") {
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
              setProperty(0, kPort, "continuous", 1) == 1;
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

void BM_ContinuousGrab(benchmark::State& state) {
    Run(state, false);
}
void BM_ContinuousGrabReadingEveryRow(benchmark::State& state) {
    Run(state, true);
}

}  // namespace

BENCHMARK(BM_ContinuousGrab)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ContinuousGrabReadingEveryRow)->Unit(benchmark::kMillisecond)->UseRealTime();
