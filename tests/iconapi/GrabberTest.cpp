#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <limits>
#include <thread>

#include "SimTestSupport.h"

namespace {

using icon::FrameGrabber;
using icontest::Collector;
using icontest::Rig;

class GrabberTest : public ::testing::Test {
  protected:
    void SetUp() override { configure(icontest::smallDevice()); }
    void TearDown() override { icon::sim::resetConfiguration(); }

    void configure(const icon::sim::DeviceConfig& device) {
        device_ = device;
        icon::sim::configure(icontest::quickConfig({device}));
    }

    icon::FGEthernetParameters& params(Rig& rig) {
        return dynamic_cast<icon::FGEthernetParameters&>(*rig.grabber->getParameters());
    }

    static uint32_t scanCounter(const icontest::Delivery& d, int scan) {
        return d.marks[2 * scan + 1] & 0xFFFFu;
    }

    icon::sim::DeviceConfig device_;
    Collector collector_;
};

TEST_F(GrabberTest, FactoryMakesEthernetGrabbersWithEthernetParameters) {
    std::unique_ptr<FrameGrabber> grabber(icon::createFrameGrabber("FGEthernet", "MyGrabber"));
    ASSERT_NE(grabber, nullptr);
    EXPECT_EQ(grabber->getName(), "MyGrabber");
    EXPECT_NE(dynamic_cast<icon::FGEthernetParameters*>(grabber->getParameters()), nullptr);
    EXPECT_FALSE(grabber->isConnected());
    EXPECT_FALSE(grabber->isGrabbing());
    EXPECT_EQ(icon::createFrameGrabber("FGFireWire", "x"), nullptr);
}

TEST_F(GrabberTest, DeliversBuffersOfConsecutiveScansOnceTheCameraStarts) {
    Rig rig;
    ASSERT_EQ(rig.open(device_.ip, 16, &Collector::callback, &collector_), 0);
    ASSERT_EQ(rig.grabber->connect(), 0);
    ASSERT_EQ(rig.grabber->startGrab(), 0);
    EXPECT_TRUE(rig.grabber->isGrabbing());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(collector_.snapshot().empty());
    ASSERT_EQ(rig.camera->start(), 0);
    ASSERT_TRUE(collector_.waitFor(3));
    ASSERT_EQ(rig.camera->stop(), 0);
    const auto deliveries = collector_.snapshot();
    int32_t encoder = static_cast<int32_t>(deliveries[0].marks[0]);
    uint32_t counter = scanCounter(deliveries[0], 0);
    for (size_t b = 0; b < 3; ++b) {
        ASSERT_EQ(deliveries[b].height, 16);
        for (int s = 0; s < 16; ++s) {
            EXPECT_EQ(static_cast<int32_t>(deliveries[b].marks[2 * s]), encoder);
            EXPECT_EQ(scanCounter(deliveries[b], s), counter);
            encoder += device_.pulsesPerScan;
            counter = (counter + 1) & 0xFFFFu;
        }
    }
}

TEST_F(GrabberTest, EncoderCountWrapsAsSigned32Bit) {
    auto device = icontest::smallDevice();
    device.encoderStart = 2147483647 - 20;
    configure(device);
    Rig rig;
    ASSERT_EQ(rig.open(device.ip, 16, &Collector::callback, &collector_), 0);
    ASSERT_EQ(rig.start(), 0);
    ASSERT_TRUE(collector_.waitFor(1));
    const auto d = collector_.snapshot()[0];
    EXPECT_EQ(static_cast<int32_t>(d.marks[0]), 2147483647 - 20);
    EXPECT_EQ(static_cast<int32_t>(d.marks[2 * 5]), -2147483647 - 1 + 4);
}

TEST_F(GrabberTest, LostPacketsAndOvertriggersFollowTheirPatterns) {
    auto device = icontest::smallDevice();
    device.lostPacketPattern = {0, 3, 0, 2};
    device.overtrigPattern = {0, 0, 5};
    configure(device);
    Rig rig;
    ASSERT_EQ(rig.open(device.ip, 12, &Collector::callback, &collector_), 0);
    ASSERT_EQ(rig.start(), 0);
    ASSERT_TRUE(collector_.waitFor(2));
    for (const auto& d : collector_.snapshot()) {
        for (int s = 0; s < d.height; ++s) {
            const uint32_t scan = scanCounter(d, s);
            EXPECT_EQ(d.lostPackets[s], device.lostPacketPattern[scan % 4]);
            EXPECT_EQ((d.marks[2 * s + 1] >> 16) & 0xFFu, scan % 3 == 2 ? 5u : 0u);
        }
    }
}

TEST_F(GrabberTest, SeededLostPacketRateIsReproducible) {
    auto device = icontest::smallDevice();
    device.lostPacketRate = 0.25;
    configure(device);
    Rig rig;
    ASSERT_EQ(rig.open(device.ip, 200, &Collector::callback, &collector_), 0);
    ASSERT_EQ(rig.start(), 0);
    ASSERT_TRUE(collector_.waitFor(1));
    const auto first = collector_.snapshot()[0];
    int lost = 0;
    for (int32_t n : first.lostPackets) {
        lost += n;
    }
    EXPECT_GT(lost, 20);
    EXPECT_LT(lost, 80);
    rig.camera->stop();
    rig.grabber.reset();
    rig.camera.reset();
    icon::sim::configure(icontest::quickConfig({device}));
    Collector again;
    Rig second;
    ASSERT_EQ(second.open(device.ip, 200, &Collector::callback, &again), 0);
    ASSERT_EQ(second.start(), 0);
    ASSERT_TRUE(again.waitFor(1));
    EXPECT_EQ(again.snapshot()[0].lostPackets, first.lostPackets);
}

// A slow consumer holds every buffer of a one-buffer pool: the camera keeps
// its pace, so scans are lost, and a buffer is never touched while the
// callback still reads it.
TEST_F(GrabberTest, SlowConsumerLosesScansButBuffersAreNeverReusedEarly) {
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> changedUnderneath{false};
    collector_.onBuffer = [&](const icon::IconBuffer& buffer) {
        if (++inside > 1) {
            overlapped = true;
        }
        const uint32_t* marks = nullptr;
        buffer.getReadPointer("Profile 1", "Mark", marks);
        const uint32_t before = marks[1];
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        changedUnderneath = changedUnderneath || marks[1] != before;
        --inside;
    };
    Rig rig;
    // 2000 scans of 264 bytes: a 1 MB pool holds one buffer.
    ASSERT_EQ(rig.open(device_.ip, 2000, &Collector::callback, &collector_, 1), 0);
    ASSERT_EQ(rig.start(), 0);
    ASSERT_TRUE(collector_.waitFor(3));
    rig.camera->stop();
    EXPECT_GT(rig.grabber->getLostScans(), 0);
    EXPECT_FALSE(overlapped.load());
    EXPECT_FALSE(changedUnderneath.load());
    const auto d = collector_.snapshot();
    EXPECT_NE((scanCounter(d[0], 1999) + 1) & 0xFFFFu, scanCounter(d[1], 0));
}

TEST_F(GrabberTest, StopDoesNotWaitForeverForABlockedCallback) {
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> calls{0};
    collector_.onBuffer = [&](const icon::IconBuffer&) {
        if (calls++ == 0) {
            entered.set_value();
            released.wait();
        }
    };
    Rig rig;
    ASSERT_EQ(rig.open(device_.ip, 16, &Collector::callback, &collector_), 0);
    ASSERT_EQ(rig.start(), 0);
    entered.get_future().wait();
    EXPECT_EQ(rig.grabber->stopGrab(), FrameGrabber::E_FG_STOP_GRAB);
    EXPECT_FALSE(rig.grabber->isGrabbing());
    EXPECT_EQ(rig.grabber->startGrab(), FrameGrabber::E_FG_START_GRAB);
    release.set_value();
    ASSERT_TRUE(collector_.waitFor(1));
    EXPECT_EQ(calls.load(), 1);
}

TEST_F(GrabberTest, CallbackMayStopItsOwnGrabber) {
    std::promise<int> stopped;
    std::atomic<bool> once{false};
    struct Context {
        std::promise<int>* stopped;
        std::atomic<bool>* once;
    } context{&stopped, &once};
    auto callback = [](const icon::IconBuffer*, FrameGrabber* grabber, void* user) {
        auto* c = static_cast<Context*>(user);
        if (!c->once->exchange(true)) {
            c->stopped->set_value(grabber->stopGrab());
        }
    };
    Rig rig;
    ASSERT_EQ(rig.open(device_.ip, 16, callback, &context), 0);
    ASSERT_EQ(rig.start(), 0);
    auto result = stopped.get_future();
    ASSERT_EQ(result.wait_for(icontest::kWait), std::future_status::ready);
    EXPECT_EQ(result.get(), 0);
    EXPECT_FALSE(rig.grabber->isGrabbing());
}

TEST_F(GrabberTest, AThrowingCallbackDoesNotEndTheStream) {
    std::atomic<int> calls{0};
    collector_.onBuffer = [&](const icon::IconBuffer&) {
        if (calls++ == 0) {
            throw std::runtime_error("consumer failed");
        }
    };
    Rig rig;
    ASSERT_EQ(rig.open(device_.ip, 16, &Collector::callback, &collector_), 0);
    ASSERT_EQ(rig.start(), 0);
    ASSERT_TRUE(collector_.waitFor(2));
    EXPECT_GE(calls.load(), 3);
}

TEST_F(GrabberTest, MessagesReachTheErrorHandlerFromTheGrabberThread) {
    struct Handler : icon::ErrorHandler {
        void message(int32_t level, const std::string& text) override {
            std::lock_guard<std::mutex> lock(mutex);
            if (text == "packet resend requested") {
                seen.set_value({level, std::this_thread::get_id()});
            }
        }
        std::mutex mutex;
        std::promise<std::pair<int, std::thread::id>> seen;
    } handler;
    auto device = icontest::smallDevice();
    device.messages = {{1, 2, "packet resend requested"}};
    configure(device);
    icon::setErrorHandler(&handler);
    {
        Rig rig;
        ASSERT_EQ(rig.open(device.ip, 16, &Collector::callback, &collector_), 0);
        ASSERT_EQ(rig.start(), 0);
        ASSERT_TRUE(collector_.waitFor(2));
        auto seen = handler.seen.get_future();
        ASSERT_EQ(seen.wait_for(icontest::kWait), std::future_status::ready);
        const auto [level, thread] = seen.get();
        EXPECT_EQ(level, 2);
        EXPECT_NE(thread, std::this_thread::get_id());
    }
    icon::removeErrorHandler();
}

TEST_F(GrabberTest, ParameterAndStateErrors) {
    Rig rig;
    ASSERT_EQ(rig.open(device_.ip, 16, &Collector::callback, &collector_), 0);
    auto& p = params(rig);
    EXPECT_EQ(rig.grabber->startGrab(), FrameGrabber::E_FG_NOT_CONNECTED);
    EXPECT_EQ(rig.grabber->disconnect(), FrameGrabber::E_FG_NOT_CONNECTED);
    p.setMode(icon::FrameGrabberParameters::MODE_POLLING);
    EXPECT_EQ(rig.grabber->connect(), FrameGrabber::E_FG_INCORRECT_MODE);
    p.setMode(1);
    p.setRelease(1);
    EXPECT_EQ(rig.grabber->connect(), FrameGrabber::E_FG_NOT_IMPLEMENTED);
    p.setRelease(0);
    p.setCallback(nullptr);
    EXPECT_EQ(rig.grabber->connect(), FrameGrabber::E_FG_WRONG_CALLBACK_TYPE);
    p.setCallback(&Collector::callback);
    p.setCameraPort(1);
    EXPECT_EQ(rig.grabber->connect(), FrameGrabber::E_FG_WINSOCK);
    p.setCameraPort(device_.dataPort);
    p.setDataFormat("<dataformat/>");
    EXPECT_EQ(rig.grabber->connect(), FrameGrabber::E_FG_DATAFORMAT);
    p.setDataFormat(rig.format);
    p.setBufferSize(1);
    p.setNoScans(5000);
    EXPECT_EQ(rig.grabber->connect(), FrameGrabber::E_FG_BUFFER_SIZE);
    p.setNoScans(16);
    // Pool sizes out of range are refused, never computed with.
    for (int megabytes :
         {0, -5, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        p.setBufferSize(megabytes);
        EXPECT_EQ(rig.grabber->connect(), FrameGrabber::E_FG_BUFFER_SIZE) << megabytes;
    }
    p.setNoScans(std::numeric_limits<int>::min());
    EXPECT_EQ(rig.grabber->connect(), FrameGrabber::E_FG_BUFFER_SIZE);
    p.setNoScans(16);
    p.setBufferSize(1);
    ASSERT_EQ(rig.grabber->connect(), 0);
    EXPECT_TRUE(rig.grabber->isConnected());
    EXPECT_EQ(rig.grabber->connect(), FrameGrabber::E_FG_CONNECTED);
    EXPECT_EQ(rig.grabber->stopGrab(), FrameGrabber::E_FG_STOP_GRAB);
    ASSERT_EQ(rig.grabber->startGrab(), 0);
    EXPECT_EQ(rig.grabber->startGrab(), FrameGrabber::E_FG_START_GRAB);
    EXPECT_EQ(rig.grabber->disconnect(), 0);
    EXPECT_FALSE(rig.grabber->isGrabbing());
    EXPECT_FALSE(rig.grabber->isConnected());
}

TEST_F(GrabberTest, InjectedGrabberFaults) {
    auto device = icontest::smallDevice();
    device.faults = {{"Frame grabber connect", 6107, icon::sim::Fault::ONCE, 1},
                     {"FrameGrabber::stopGrab", 6106, icon::sim::Fault::ALWAYS, 1}};
    configure(device);
    Rig rig;
    ASSERT_EQ(rig.open(device.ip, 16, &Collector::callback, &collector_), 0);
    EXPECT_EQ(rig.grabber->connect(), 6107);
    ASSERT_EQ(rig.grabber->connect(), 0);
    ASSERT_EQ(rig.grabber->startGrab(), 0);
    EXPECT_EQ(rig.grabber->stopGrab(), 6106);
    EXPECT_TRUE(rig.grabber->isGrabbing());
}

// Replay hands out the same few rendered buffers again and again, without
// waiting for the line rate.
TEST_F(GrabberTest, ReplayCyclesPrerenderedBuffers) {
    auto device = icontest::smallDevice();
    device.replayBuffers = 3;
    device.lineRate = 1.0;
    configure(device);
    Rig rig;
    ASSERT_EQ(rig.open(device.ip, 16, &Collector::callback, &collector_), 0);
    ASSERT_EQ(rig.start(), 0);
    ASSERT_TRUE(collector_.waitFor(7));
    rig.camera->stop();
    const auto d = collector_.snapshot();
    EXPECT_EQ(d[0].marks, d[3].marks);
    EXPECT_EQ(d[1].marks, d[4].marks);
    EXPECT_NE(d[0].marks, d[1].marks);
}

}  // namespace

namespace {

// Collects the messages of the grabber threads that mention `fragment`.
struct CountMessages : icon::ErrorHandler {
    explicit CountMessages(std::string what) : fragment(std::move(what)) {}
    void message(int32_t level, const std::string& text) override {
        if (text.find(fragment) != std::string::npos) {
            std::lock_guard<std::mutex> lock(mutex);
            texts.push_back(text);
            levels.push_back(level);
        }
    }
    std::vector<std::string> snapshot() {
        std::lock_guard<std::mutex> lock(mutex);
        return texts;
    }
    // The scans the messages count, "FGEthernet: <n> scans ...", in all.
    long long said() {
        long long sum = 0;
        for (const std::string& text : snapshot()) {
            sum += std::atoll(text.c_str() + text.find(": ") + 2);
        }
        return sum;
    }
    const std::string fragment;
    std::mutex mutex;
    std::vector<std::string> texts;
    std::vector<int32_t> levels;
};

long long SecondsSince(std::chrono::steady_clock::time_point began) {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() -
                                                            began)
        .count();
}

bool lateScansExceed(const FrameGrabber& grabber, long long count) {
    const auto end = std::chrono::steady_clock::now() + icontest::kWait;
    while (grabber.getLateScans() <= count) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A line rate no simulation reaches: the stream keeps its pace by skipping
// what it cannot render, and says so instead of slowing down silently.
TEST_F(GrabberTest, LineRateBeyondTheSimulationGivesLateScansAndAMessage) {
    auto device = icontest::smallDevice();
    device.lineRate = 1e8;
    configure(device);
    CountMessages handler("scans late");
    icon::setErrorHandler(&handler);
    const auto began = std::chrono::steady_clock::now();
    long long late = 0;
    {
        Rig rig;
        ASSERT_EQ(rig.open(device.ip, 64, &Collector::callback, &collector_), 0);
        ASSERT_EQ(rig.start(), 0);
        // Late once the backlog is older than its allowance (half a second).
        ASSERT_TRUE(lateScansExceed(*rig.grabber, 0));
        ASSERT_TRUE(lateScansExceed(*rig.grabber, rig.grabber->getLateScans()));
        // The buffers after the skip: on a slow host they may still be on
        // their way when the second skip is counted.
        ASSERT_TRUE(collector_.waitFor(collector_.snapshot().size() + 2));
        rig.camera->stop();
        // The skipped scans are gaps in the scan counter, as lost scans are.
        const auto d = collector_.snapshot();
        bool gap = false;
        uint32_t previous = scanCounter(d[0], 0) - 1u;
        for (const auto& delivery : d) {
            for (int scan = 0; scan < delivery.height; ++scan) {
                gap = gap || ((previous + 1u) & 0xFFFFu) != scanCounter(delivery, scan);
                previous = scanCounter(delivery, scan);
            }
        }
        EXPECT_TRUE(gap);
        ASSERT_EQ(rig.grabber->stopGrab(), 0);
        late = rig.grabber->getLateScans();
    }
    icon::removeErrorHandler();
    const auto texts = handler.snapshot();
    ASSERT_FALSE(texts.empty());
    EXPECT_NE(texts[0].find("line rate of 1e+08 scans per second"), std::string::npos) << texts[0];
    EXPECT_EQ(handler.levels[0], 2);
    // Every late scan is said once, in a message a second at most (the first
    // at once, the rest when the grabber stops).
    EXPECT_EQ(handler.said(), late);
    EXPECT_LE(static_cast<long long>(texts.size()), SecondsSince(began) + 2);
}

// A consumer too slow for the line rate loses scans for as long as it runs;
// the host's log hears of them as of late scans, not once per buffer.
TEST_F(GrabberTest, LostScansAreSaidOnceInAMessageASecondAtMost) {
    collector_.onBuffer = [](const icon::IconBuffer&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };
    CountMessages handler("scans lost");
    icon::setErrorHandler(&handler);
    const auto began = std::chrono::steady_clock::now();
    long long lost = 0;
    {
        Rig rig;
        ASSERT_EQ(rig.open(device_.ip, 200, &Collector::callback, &collector_, 1), 0);
        ASSERT_EQ(rig.start(), 0);
        ASSERT_TRUE(collector_.waitFor(12));
        rig.camera->stop();
        ASSERT_EQ(rig.grabber->stopGrab(), 0);
        lost = rig.grabber->getLostScans();
    }
    icon::removeErrorHandler();
    EXPECT_GT(lost, 0);
    EXPECT_EQ(handler.said(), lost);
    EXPECT_EQ(handler.levels.at(0), 2);
    EXPECT_LE(static_cast<long long>(handler.snapshot().size()), SecondsSince(began) + 2);
}

TEST_F(GrabberTest, ReachableLineRateHasNoLateScans) {
    CountMessages handler("scans late");
    icon::setErrorHandler(&handler);
    {
        Rig rig;
        ASSERT_EQ(rig.open(device_.ip, 200, &Collector::callback, &collector_), 0);
        ASSERT_EQ(rig.start(), 0);
        ASSERT_TRUE(collector_.waitFor(10));
        EXPECT_EQ(rig.grabber->getLateScans(), 0);
        // Consecutive scans throughout: nothing skipped.
        const auto d = collector_.snapshot();
        for (size_t b = 1; b < d.size(); ++b) {
            EXPECT_EQ((scanCounter(d[b - 1], 199) + 1) % 65536u, scanCounter(d[b], 0));
        }
    }
    icon::removeErrorHandler();
    EXPECT_TRUE(handler.snapshot().empty());
}

}  // namespace
