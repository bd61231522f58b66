#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "SimTestSupport.h"
#include "icon/Api.h"

namespace {

class RecordingHandler : public icon::ErrorHandler {
  public:
    void message(int32_t level, const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(std::to_string(level) + ":" + text);
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

// A handler that blocks inside the delivery until released.
class BlockingHandler : public icon::ErrorHandler {
  public:
    void message(int32_t, const std::string&) override {
        entered.set_value();
        release.get_future().wait();
    }
    std::promise<void> entered;
    std::promise<void> release;
};

class ApiTest : public ::testing::Test {
  protected:
    void TearDown() override { icon::removeErrorHandler(); }
};

TEST_F(ApiTest, MessagesReachTheInstalledHandlerOnlyWhileInstalled) {
    RecordingHandler handler;
    icon::reportMessage(1, "before");
    icon::setErrorHandler(&handler);
    icon::reportMessage(3, "during");
    icon::removeErrorHandler();
    icon::reportMessage(1, "after");
    EXPECT_EQ(handler.lines, std::vector<std::string>{"3:during"});
}

TEST_F(ApiTest, RemovalWaitsForADeliveryOnAnotherThread) {
    BlockingHandler handler;
    icon::setErrorHandler(&handler);
    std::thread reporter([] { icon::reportMessage(1, "slow"); });
    handler.entered.get_future().wait();
    std::atomic<bool> removed{false};
    std::thread remover([&] {
        icon::removeErrorHandler();
        removed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(removed.load());
    handler.release.set_value();
    remover.join();
    reporter.join();
    EXPECT_TRUE(removed.load());
}

// A handler that takes a lock which the installing thread holds must not
// deadlock: delivery runs without the API's own lock.
TEST_F(ApiTest, DeliveryHoldsNoLockWhileCallingTheHandler) {
    struct LockingHandler : icon::ErrorHandler {
        std::mutex* logLock = nullptr;
        void message(int32_t, const std::string&) override {
            std::lock_guard<std::mutex> l(*logLock);
        }
    };
    std::mutex logLock;
    LockingHandler handler;
    handler.logLock = &logLock;
    icon::setErrorHandler(&handler);
    std::unique_lock<std::mutex> held(logLock);
    std::thread reporter([] { icon::reportMessage(1, "x"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    RecordingHandler other;
    auto install = std::async(std::launch::async, [&other] { icon::setErrorHandler(&other); });
    EXPECT_EQ(install.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    held.unlock();
    install.wait();
    reporter.join();
}

TEST_F(ApiTest, HandlerMayRemoveItselfDuringDelivery) {
    struct SelfRemoving : icon::ErrorHandler {
        int calls = 0;
        void message(int32_t, const std::string&) override {
            ++calls;
            icon::removeErrorHandler();
        }
    };
    SelfRemoving handler;
    icon::setErrorHandler(&handler);
    icon::reportMessage(1, "first");
    icon::reportMessage(1, "second");
    EXPECT_EQ(handler.calls, 1);
}

TEST_F(ApiTest, AThrowingHandlerDoesNotBlockRemoval) {
    struct Throwing : icon::ErrorHandler {
        void message(int32_t, const std::string&) override { throw std::runtime_error("no"); }
    } handler;
    icon::setErrorHandler(&handler);
    EXPECT_THROW(icon::reportMessage(1, "x"), std::runtime_error);
    auto removal = std::async(std::launch::async, [] { icon::removeErrorHandler(); });
    EXPECT_EQ(removal.wait_for(std::chrono::seconds(2)), std::future_status::ready);
}

TEST_F(ApiTest, CloseApiStopsStreamsAndStartsDevicesAfresh) {
    auto device = icontest::smallDevice();
    icon::sim::configure(icontest::quickConfig({device}));
    icontest::Collector collector;
    {
        icontest::Rig rig;
        ASSERT_EQ(rig.open(device.ip, 16, &icontest::Collector::callback, &collector), 0);
        ASSERT_EQ(rig.start(), 0);
        ASSERT_TRUE(collector.waitFor(1));
        icon::closeApi();
        EXPECT_FALSE(rig.grabber->isGrabbing());
    }
    // The device was measuring; after closeApi it is as configured again.
    icontest::Rig fresh;
    ASSERT_EQ(fresh.open(device.ip, 16, &icontest::Collector::callback, &collector), 0);
    int status = 0;
    ASSERT_EQ(fresh.camera->checkCamStatus(status), 0);
    EXPECT_EQ(status, 1);
}

}  // namespace
