// One full buffer of a 1536-column camera, 512 scans, from the delivered scans
// to the grayscale image, and the fill from the filters' results alone,
// against a plain copy of the image's bytes and of the words the fill reads
// (Memcpy/2 for a 16-bit plane, Memcpy/4 for COG's two planes). Each path and
// copy runs on one buffer over and over (/1), and on the next of kRing (/4).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "icon/Simulation.h"
#include "image/ExtractionHelperCOG.h"
#include "image/ExtractionHelperDirect.h"
#include "image/ImageBuffer.h"
#include "image/ImageSource.h"

namespace {

constexpr int kScans = 512;

icon::sim::DeviceConfig FullSizeDevice() {
    icon::sim::DeviceConfig device = icon::sim::SimulationConfig::embeddedDefault().devices[0];
    device.noise = 0.05;
    return device;
}

icon::DataFormat RangeFormat(int columns) {
    icon::Component range("Peak 1", "RANGE");
    range.addSubComponent(icon::SubComponent("Mark", "MARK", 2));
    range.addSubComponent(icon::SubComponent("Range", "WORD", columns));
    range.addSubComponent(icon::SubComponent("Intensity", "BYTE", columns));
    icon::DataFormat format;
    format.addComponent(range);
    return format;
}

// A buffer of the device's scene, rendered once.
struct Delivery {
    Delivery(const icon::sim::DeviceConfig& device, const icon::DataFormat& format) {
        buffer.init(format, kScans);
        icon::sim::SceneRenderer renderer(device, format);
        for (int scan = 0; scan < kScans; ++scan) {
            renderer.renderScan(buffer, scan, scan);
        }
    }
    icon::IconBuffer buffer;
};

// Buffers and images in turn, as a streaming camera's ring of delivered
// buffers and a port's list of images hold them: with kRing of each, every
// plane is out of the L2 cache when it comes round again.
constexpr int kRing = 4;

template <typename Helper>
void ExtractAndFill(benchmark::State& state, const icon::DataFormat& format,
                    const ImageSource& source) {
    const icon::sim::DeviceConfig device = FullSizeDevice();
    const size_t ring = static_cast<size_t>(state.range(0));
    std::vector<std::unique_ptr<Delivery>> deliveries;
    std::vector<std::unique_ptr<ImageBuffer>> images;
    for (size_t n = 0; n < ring; ++n) {
        deliveries.push_back(std::make_unique<Delivery>(device, format));
        images.push_back(std::make_unique<ImageBuffer>(8, device.sensor.columns, kScans));
    }
    Helper helper(format, source, kScans);
    size_t next = 0;
    for (auto _ : state) {
        helper.Extract(deliveries[next]->buffer);
        helper.FillGrayscale(*images[next]);
        benchmark::DoNotOptimize(images[next]->GetData());
        benchmark::ClobberMemory();
        next = (next + 1) % ring;
    }
    state.SetItemsProcessed(state.iterations() * images[0]->GetByteSize());
}

// The fill alone, from what one Extract left.
template <typename Helper>
void FillOnly(benchmark::State& state, const icon::DataFormat& format, const ImageSource& source) {
    const icon::sim::DeviceConfig device = FullSizeDevice();
    const Delivery delivery(device, format);
    Helper helper(format, source, kScans);
    ImageBuffer image(8, device.sensor.columns, kScans);
    helper.Extract(delivery.buffer);
    for (auto _ : state) {
        helper.FillGrayscale(image);
        benchmark::DoNotOptimize(image.GetData());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * image.GetByteSize());
}

void BM_DirectByte(benchmark::State& state) {
    ExtractAndFill<ExtractionHelperDirect>(state, RangeFormat(FullSizeDevice().sensor.columns),
                                           {"Peak 1", "Intensity", 0, 2, false});
}

void BM_DirectWord(benchmark::State& state) {
    ExtractAndFill<ExtractionHelperDirect>(state, RangeFormat(FullSizeDevice().sensor.columns),
                                           {"Peak 1", "Range", 0, 1, false});
}

void BM_Cog(benchmark::State& state) {
    const icon::sim::DeviceConfig device = FullSizeDevice();
    ExtractAndFill<ExtractionHelperCOG>(
        state, icon::DataFormat(icon::sim::defaultDataFormat(device, "Measurement")),
        {"Profile 1", "Range", 0, 1, true});
}

void BM_DirectWordFill(benchmark::State& state) {
    FillOnly<ExtractionHelperDirect>(state, RangeFormat(FullSizeDevice().sensor.columns),
                                     {"Peak 1", "Range", 0, 1, false});
}

void BM_CogFill(benchmark::State& state) {
    const icon::sim::DeviceConfig device = FullSizeDevice();
    FillOnly<ExtractionHelperCOG>(
        state, icon::DataFormat(icon::sim::defaultDataFormat(device, "Measurement")),
        {"Profile 1", "Range", 0, 1, true});
}

// The floor: copying the image's bytes once, times the first argument, from
// and to the next of as many buffer pairs as the second argument.
void BM_Memcpy(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(FullSizeDevice().sensor.columns) * kScans *
                         static_cast<size_t>(state.range(0));
    const size_t ring = static_cast<size_t>(state.range(1));
    std::vector<std::vector<uint8_t>> from(ring, std::vector<uint8_t>(bytes, 0x5A));
    std::vector<std::vector<uint8_t>> to(ring, std::vector<uint8_t>(bytes));
    size_t next = 0;
    for (auto _ : state) {
        std::memcpy(to[next].data(), from[next].data(), bytes);
        benchmark::DoNotOptimize(to[next].data());
        benchmark::ClobberMemory();
        next = (next + 1) % ring;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

// The same copy from and to memory out of every cache, as the driver's
// buffers are when a camera streams many of them: each copy takes the next of
// enough buffer pairs to outgrow the last-level cache (128 MB in all).
void BM_MemcpyCold(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(FullSizeDevice().sensor.columns) * kScans *
                         static_cast<size_t>(state.range(0));
    const size_t pairs = std::max<size_t>(2, (size_t{64} << 20) / bytes);
    std::vector<std::vector<uint8_t>> from(pairs, std::vector<uint8_t>(bytes, 0x5A));
    std::vector<std::vector<uint8_t>> to(pairs, std::vector<uint8_t>(bytes, 0));
    size_t next = 0;
    for (auto _ : state) {
        std::memcpy(to[next].data(), from[next].data(), bytes);
        benchmark::DoNotOptimize(to[next].data());
        benchmark::ClobberMemory();
        next = (next + 1) % pairs;
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

BENCHMARK(BM_DirectByte)->Arg(1)->Arg(kRing);
BENCHMARK(BM_DirectWord)->Arg(1)->Arg(kRing);
BENCHMARK(BM_Cog)->Arg(1)->Arg(kRing);
BENCHMARK(BM_DirectWordFill);
BENCHMARK(BM_CogFill);
BENCHMARK(BM_Memcpy)->ArgsProduct({{1, 2, 4}, {1, kRing}});
BENCHMARK(BM_MemcpyCold)->Arg(1)->Arg(2)->Arg(4);

}  // namespace
