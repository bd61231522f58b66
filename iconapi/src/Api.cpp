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

namespace {

// Counts one delivery in progress for as long as it lives, also when the
// handler throws.
class Delivery {
  public:
    explicit Delivery(HandlerSlot& slot) : slot_(slot) { ++deliveriesOnThisThread; }
    ~Delivery() {
        --deliveriesOnThisThread;
        std::lock_guard<std::mutex> lock(slot_.mutex);
        --slot_.deliveries;
        slot_.idle.notify_all();
    }
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;

  private:
    HandlerSlot& slot_;
};

}  // namespace

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
    Delivery delivery(s);
    handler->message(level, text);
}

}  // namespace icon
