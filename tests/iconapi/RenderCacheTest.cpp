#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "SimTestSupport.h"

namespace {

using icon::DataFormat;
using icon::IconBuffer;
using icon::sim::DeviceConfig;
using icon::sim::SceneRenderer;

// Every byte of every plane of scan `slot`, and its lost packets.
std::vector<uint8_t> scanBytes(const IconBuffer& buffer, int slot) {
    std::vector<uint8_t> bytes;
    const DataFormat& format = *buffer.getDataFormat();
    for (int c = 0; c < format.numComponents(); ++c) {
        const icon::Component& component = *format.getComponent(c);
        for (int s = 0; s < component.numSubComponents(); ++s) {
            const icon::SubComponent& sub = *component.getSubComponent(s);
            const void* data = nullptr;
            EXPECT_EQ(buffer.getRawReadPointer(component.getName(), sub.getName(), data), 0);
            const size_t size = static_cast<size_t>(sub.getWidth() * sub.getElementSize());
            const auto* first = static_cast<const uint8_t*>(data) + size * slot;
            bytes.insert(bytes.end(), first, first + size);
        }
    }
    const int32_t lost = buffer.getLostPackets(slot);
    bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(&lost),
                 reinterpret_cast<const uint8_t*>(&lost) + sizeof lost);
    return bytes;
}

std::string rangeFormat(int columns) {
    icon::Component range("Peak 1", "RANGE");
    range.addSubComponent(icon::SubComponent("Mark", "MARK", 2));
    range.addSubComponent(icon::SubComponent("Range", "WORD", columns));
    range.addSubComponent(icon::SubComponent("Intensity", "BYTE", columns));
    DataFormat format;
    format.addComponent(range);
    return format.toString();
}

// The formats a device streams: its measurement (COG), its sensor image and
// 16-bit range with intensity.
std::vector<std::string> formats(const DeviceConfig& device) {
    return {icon::sim::defaultDataFormat(device, "Measurement"),
            icon::sim::defaultDataFormat(device, "Image"), rangeFormat(device.sensor.columns)};
}

std::vector<DeviceConfig> devicesOf(const std::string& path) {
    icon::sim::SimulationConfig config;
    std::string error;
    EXPECT_TRUE(icon::sim::loadConfigFile(path, config, error)) << path << ": " << error;
    return config.devices;
}

// Renders `count` scans from `first` through a cached and an uncached
// renderer, buffer by buffer as a grabber does, and compares every byte.
// `cacheBytes` 0: the check that the cache was used is left out.
void expectSameAsUncached(const DeviceConfig& device, const std::string& text, int64_t first,
                          int64_t count, size_t cacheBytes) {
    const DataFormat format(text);
    const int scans = 64;
    IconBuffer cachedBuffer;
    IconBuffer plainBuffer;
    ASSERT_EQ(cachedBuffer.init(format, scans), 0);
    ASSERT_EQ(plainBuffer.init(format, scans), 0);
    SceneRenderer cached(device, format, cacheBytes);
    SceneRenderer plain(device, format, 0);
    for (int64_t scan = first; scan < first + count; ++scan) {
        const int slot = static_cast<int>(scan % scans);
        cached.renderScan(cachedBuffer, slot, scan);
        plain.renderScan(plainBuffer, slot, scan);
        ASSERT_EQ(scanBytes(cachedBuffer, slot), scanBytes(plainBuffer, slot))
            << device.ip << " scan " << scan << " of " << format.getComponent(0)->getName();
    }
    if (cacheBytes > 0) {
        EXPECT_GT(cached.cachedBytes(), 0u) << device.ip;
    }
    EXPECT_EQ(plain.cachedBytes(), 0u);
}

// Over two and a half periods of each small scene, so every scan is
// rendered once and copied from the cache after.
TEST(RenderCacheTest, CachedScansAreByteForByteTheRenderedOnes) {
    std::vector<DeviceConfig> devices = devicesOf(ICONAPI_TEST_SCENES_DIR "/flat-box.xml");
    const auto samples = devicesOf(ICONAPI_SAMPLES_DIR "/simulation.xml");
    devices.push_back(samples[0]);
    ASSERT_EQ(devices.size(), 3u);
    for (const DeviceConfig& device : devices) {
        const int64_t period = static_cast<int64_t>(
            device.scene.length * device.pulsesPerMillimeter / device.pulsesPerScan);
        for (const std::string& format : formats(device)) {
            const bool image = format.find("\"IMAGE\"") != std::string::npos;
            if (image && device.sensor.columns > 256) {
                continue;  // the full-size image period is checked below
            }
            const int64_t repeat = image ? std::lcm(period, int64_t{device.sensor.rows}) : period;
            // A full-size camera: its period, then a buffer's worth of copies
            // (kept short for the sanitizer builds).
            const int64_t scans = device.sensor.columns > 256 ? repeat + 256 : repeat * 5 / 2;
            expectSameAsUncached(device, format, 0, scans, SceneRenderer::kDefaultCacheBytes);
        }
    }
}

// A full-size image frame repeats only after lcm(period, rows) scans, 98 MB:
// too much for the default cache, so it renders scan by scan; a larger
// cache gives the same bytes.
TEST(RenderCacheTest, ImagePeriodTooLongForTheCacheRendersScanByScan) {
    const DeviceConfig device = devicesOf(ICONAPI_SAMPLES_DIR "/simulation.xml")[0];
    const DataFormat format(icon::sim::defaultDataFormat(device, "Image"));
    SceneRenderer renderer(device, format);
    IconBuffer buffer;
    ASSERT_EQ(buffer.init(format, 4), 0);
    renderer.renderScan(buffer, 0, 0);
    EXPECT_EQ(renderer.cachedBytes(), 0u);
    // The frames around the first wrap of the belt, through a cache that holds them.
    expectSameAsUncached(device, format.toString(), 1536, 1024, 128u << 20);
}

TEST(RenderCacheTest, ScansAPeriodApartRepeatButTheirMarksGoOn) {
    DeviceConfig device = icontest::smallDevice();
    device.noise = 0.3;
    device.scene.length = 20.0;  // 40 scans of 5 pulses at 10 pulses per millimetre
    device.lostPacketRate = 0.5;
    icon::sim::SceneObject box;
    box.x = 0.0;
    box.y = 5.0;
    box.length = 5.0;
    device.scene.objects = {box};
    const DataFormat format(icon::sim::defaultDataFormat(device, "Measurement"));
    IconBuffer buffer;
    ASSERT_EQ(buffer.init(format, 200), 0);
    SceneRenderer renderer(device, format);
    for (int scan = 0; scan < 200; ++scan) {
        renderer.renderScan(buffer, scan, scan);
    }
    const uint16_t* xsum = nullptr;
    const uint32_t* mark = nullptr;
    ASSERT_EQ(buffer.getReadPointer("Profile 1", "XSum", xsum), 0);
    ASSERT_EQ(buffer.getReadPointer("Profile 1", "Mark", mark), 0);
    const size_t columns = static_cast<size_t>(device.sensor.columns);
    int lostDiffers = 0;
    for (int scan = 40; scan < 200; ++scan) {
        EXPECT_EQ(0, std::memcmp(xsum + scan * columns, xsum + (scan - 40) * columns, columns * 2))
            << scan;
        EXPECT_EQ(mark[2 * scan], mark[2 * (scan - 40)] + 40u * 5u);
        EXPECT_EQ(mark[2 * scan + 1] & 0xFFFFu, static_cast<uint32_t>(scan));
        lostDiffers += buffer.getLostPackets(scan) != buffer.getLostPackets(scan - 40);
    }
    EXPECT_GT(lostDiffers, 20);  // drawn per scan of the stream, not of the period
    // Within the period the noise differs from scan to scan (the box is in
    // view from scan 10 to 19, the belt elsewhere).
    EXPECT_NE(0, std::memcmp(xsum + 1 * columns, xsum + 2 * columns, columns * 2));
}

TEST(RenderCacheTest, BeltThatNeverReturnsToItsStartIsNotCached) {
    DeviceConfig device = icontest::smallDevice();
    device.pulsesPerScan = 3;  // 1000 mm × 10 / 3: no whole number of scans
    const DataFormat format(icon::sim::defaultDataFormat(device, "Measurement"));
    SceneRenderer renderer(device, format);
    IconBuffer buffer;
    ASSERT_EQ(buffer.init(format, 1), 0);
    renderer.renderScan(buffer, 0, 0);
    EXPECT_EQ(renderer.cachedBytes(), 0u);
}

// A component without the plane the renderer fills (a RANGE with only
// Intensity, a COG with Sum alone) is left as it is instead of being
// written through a null pointer.
TEST(RenderCacheTest, ComponentsMissingTheirMainPlaneAreLeftAlone) {
    const DeviceConfig device = icontest::smallDevice();
    const int columns = device.sensor.columns;
    icon::Component range("Peak 1", "RANGE");
    range.addSubComponent(icon::SubComponent("Intensity", "BYTE", columns));
    icon::Component cog("Profile 1", "COG");
    cog.addSubComponent(icon::SubComponent("Mark", "MARK", 2));
    cog.addSubComponent(icon::SubComponent("Sum", "WORD", columns));
    DataFormat format;
    format.addComponent(range);
    format.addComponent(cog);
    IconBuffer buffer;
    ASSERT_EQ(buffer.init(format, 8), 0);
    SceneRenderer renderer(device, format);
    for (int scan = 0; scan < 8; ++scan) {
        renderer.renderScan(buffer, scan, scan);
    }
    const uint8_t* intensity = nullptr;
    const uint16_t* sum = nullptr;
    const uint32_t* mark = nullptr;
    ASSERT_EQ(buffer.getReadPointer("Peak 1", "Intensity", intensity), 0);
    ASSERT_EQ(buffer.getReadPointer("Profile 1", "Sum", sum), 0);
    ASSERT_EQ(buffer.getReadPointer("Profile 1", "Mark", mark), 0);
    for (int i = 0; i < 8 * columns; ++i) {
        ASSERT_EQ(intensity[i], 0) << i;
        ASSERT_EQ(sum[i], 0) << i;
    }
    EXPECT_EQ(mark[2 * 7 + 1] & 0xFFFFu, 7u);
}

}  // namespace
