#include "tests/support/Watchdog.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

void FinishesWithin(std::chrono::seconds limit, const char* what,
                    const std::function<void()>& body) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread runner([&] {
        body();
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        finished.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex);
    if (!finished.wait_for(lock, limit, [&] { return done; })) {
        std::fprintf(stderr, "%s: still running after %lld s, a deadlock\n", what,
                     static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::_Exit(EXIT_FAILURE);
    }
    lock.unlock();
    runner.join();
}
