#include "icon/Api.h"

#include <condition_variable>
#include <mutex>

#include "Simulator.h"

namespace icon {
namespace {

// The handler is called without the lock held, so a handler that takes locks
// of its own cannot deadlock against a thread that installs or removes it.
// Removal waits until the deliveries of other threads have left the handler.
struct HandlerSlot {
    std::mutex mutex;
    std::condition_variable idle;
    ErrorHandler* handler = nullptr;
    int deliveries = 0;
};

HandlerSlot& slot() {
    static HandlerSlot s;
    return s;
}

thread_local int deliveriesOnThisThread = 0;

}  // namespace

void setErrorHandler(ErrorHandler* handler) {
    HandlerSlot& s = slot();
    std::unique_lock<std::mutex> lock(s.mutex);
    s.handler = handler;
    if (handler == nullptr) {
        s.idle.wait(lock, [&s] { return s.deliveries == deliveriesOnThisThread; });
    }
}

void removeErrorHandler() {
    setErrorHandler(nullptr);
}

void closeApi() {
    detail::Simulator::instance().shutdown();
    removeErrorHandler();
}

void reportMessage(int32_t level, const std::string& text) {
    HandlerSlot& s = slot();
    ErrorHandler* handler = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        handler = s.handler;
        if (handler == nullptr) {
            return;
        }
        ++s.deliveries;
    }
    ++deliveriesOnThisThread;
    handler->message(level, text);
    --deliveriesOnThisThread;
    std::lock_guard<std::mutex> lock(s.mutex);
    --s.deliveries;
    s.idle.notify_all();
}

}  // namespace icon
