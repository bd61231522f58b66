// What a log call costs the grabber threads. Most calls in the image path are
// at levels above the host's, so the filtered-out call must stay a few
// nanoseconds; a line that is written is timed for comparison.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include "base/DriverContext.h"
#include "base/Log.h"

namespace {

void BM_LogFilteredOut(benchmark::State& state) {
    DriverContext* context = DriverContext::Instance();
    context->logLevel = 1;
    int scan = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteLog(context, 3, "scan %d of buffer %d\n", ++scan, 7));
    }
}

void BM_LogWrittenToFile(benchmark::State& state) {
    DriverContext* context = DriverContext::Instance();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vavezaz-log-bench";
    std::filesystem::create_directories(dir);
    context->SetSystemPath(dir.string());
    context->logLevel = 3;
    context->logIntoFile = true;
    int scan = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteLog(context, 3, "scan %d of buffer %d\n", ++scan, 7));
    }
    context->logIntoFile = false;
    context->logLevel = 1;
    std::filesystem::remove_all(dir);
}

BENCHMARK(BM_LogFilteredOut);
BENCHMARK(BM_LogWrittenToFile);

}  // namespace
