#include "platform/AutoResetEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using platform::AutoResetEvent;

TEST(AutoResetEvent, SignalSetBeforeTheWaitIsKeptForIt) {
    AutoResetEvent event;
    event.Set();
    event.Wait();  // would hang if the signal had been lost
    SUCCEED();
}

TEST(AutoResetEvent, OneWaitConsumesTheSignal) {
    AutoResetEvent event;
    event.Set();
    event.Set();  // two sets without a wait count as one
    event.Wait();

    std::atomic<bool> woke{false};
    std::thread waiter([&] {
        event.Wait();
        woke = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(woke.load());
    event.Set();
    waiter.join();
    EXPECT_TRUE(woke.load());
}

TEST(AutoResetEvent, ResetDropsAnUnconsumedSignal) {
    AutoResetEvent event;
    event.Set();
    event.Reset();
    std::atomic<bool> woke{false};
    std::thread waiter([&] {
        event.Wait();
        woke = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(woke.load());
    event.Set();
    waiter.join();
}
