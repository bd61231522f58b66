#include "platform/AutoResetEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using platform::AutoResetEvent;

TEST(AutoResetEvent, ASignalWaitsForOneWaitAndOnlyOne) {
    AutoResetEvent event;
    event.Set();
    event.Set();   // two sets without a wait count as one
    event.Wait();  // a signal set before the wait is kept for it

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
