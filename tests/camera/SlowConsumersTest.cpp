// A host that is slow where the driver waits for it: a debug procedure that
// keeps the frame grabber's thread inside the camera, a completion callback
// that takes longer than the camera needs for a buffer. Closing and
// finalizing must neither free what that thread still uses nor wait longer
// than for the one callback in progress.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "tests/camera/CameraFixture.h"
#include "vavezaz/CvlDriver.h"

namespace {

using Clock = std::chrono::steady_clock;

// The host's debug procedure: slow once, on the first lost-packet line after
// it is armed; everything is passed on to the capture.
std::atomic<bool> slowLineArmed{false};
std::atomic<bool> insideSlowLine{false};
constexpr auto kSlowLine = std::chrono::milliseconds(400);

void SlowOnLostPackets(const char* text) {
    if (std::strstr(text, "packets lost") != nullptr && slowLineArmed.exchange(false)) {
        insideSlowLine = true;
        std::this_thread::sleep_for(kSlowLine);
        insideSlowLine = false;
    }
    LogCapture::Proc()(text);
}

bool WaitFor(const std::atomic<bool>& flag) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!flag && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return flag;
}

class SlowConsumers : public CameraFixture {
  protected:
    void TearDown() override {
        slowLineArmed = false;
        CameraFixture::TearDown();
    }
};

}  // namespace

// The grabber's stop gives up after its time-out and answers so; its thread
// is still inside the camera, counting lost packets. The camera used to free
// the grabber at once and, at finalize, itself, under the running callback.
TEST_F(SlowConsumers, NothingIsFreedUnderACallbackWhoseGrabberStopTimedOut) {
    simulation_.stopTimeoutMs = 20;
    simulation_.devices[0].lostPacketPattern = {1};
    Start();
    OpenPort(1, kCameraA);
    setDebugMsgProc(&SlowOnLostPackets);
    slowLineArmed = true;
    ASSERT_TRUE(WaitFor(insideSlowLine));
    // The slow line holds the log: the close logs nothing, so that it runs
    // while the grabber's thread is still in there. The grabber's stop waits
    // 20 ms for a callback that takes 400: it times out.
    context_->logLevel = 0;
    context_->debugViewOutput = 0;
    closeCVLPort(0, 1);
    const bool stillInside = insideSlowLine;
    EXPECT_FALSE(stillInside) << "the close returned with the grabber's callback inside the camera";
    while (insideSlowLine) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(1, finalize());
}

// A completion callback slower than a buffer: in continuous mode the next
// buffer is always ready. Each hand-off used to win the adapter map again
// while the close waited for it.
TEST_F(SlowConsumers, AClosingPortWaitsForTheOneCallbackInProgressOnly) {
    Start();
    constexpr auto kCallback = std::chrono::milliseconds(300);
    std::atomic<bool> inCallback{false};
    std::atomic<int64_t> closeBegan{0};
    std::atomic<int> startedDuringClose{0};
    onImage = [&](int) {
        inCallback = true;
        if (closeBegan != 0) {
            ++startedDuringClose;
        }
        std::this_thread::sleep_for(kCallback);
    };
    OpenPort(1, kCameraA);
    ASSERT_EQ(1, setProperty(0, 1, "continuous", 1));
    ASSERT_TRUE(WaitFor(inCallback));
    const auto begin = Clock::now();
    closeBegan = begin.time_since_epoch().count();
    closeCVLPort(0, 1);
    const auto took = Clock::now() - begin;
    EXPECT_LE(startedDuringClose.load(), 1) << "no new image once the close is under way";
    // One callback and the close's own work; a loaded sanitizer build has
    // taken over a callback's length for that work alone.
    EXPECT_LT(took, 3 * kCallback) << "the close waits for one callback at most";
    EXPECT_TRUE(Logged("Camera::Close: leaving on port 1\n"));
}

TEST_F(SlowConsumers, FinalizeWaitsForOneCallbackPerCameraAtMost) {
    Start();
    constexpr auto kCallback = std::chrono::milliseconds(300);
    std::atomic<int> inCallback{0};
    onImage = [&](int) {
        ++inCallback;
        std::this_thread::sleep_for(kCallback);
    };
    OpenPort(1, kCameraA);
    OpenPort(2, kCameraB);
    ASSERT_EQ(1, setProperty(0, 1, "continuous", 1));
    ASSERT_EQ(1, setProperty(0, 2, "continuous", 1));
    ASSERT_TRUE(WaitForImages(1, 1));
    ASSERT_TRUE(WaitForImages(2, 1));
    const auto begin = Clock::now();
    EXPECT_EQ(1, finalize());
    const auto took = Clock::now() - begin;
    EXPECT_LT(took, 2 * kCallback) << "both cameras stop handing off at once";
}
