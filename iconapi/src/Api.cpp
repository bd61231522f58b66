#include "icon/Api.h"

#include <mutex>

namespace icon {
namespace {

// Delivery holds the lock, so removeErrorHandler cannot return while a message
// is still inside the handler on another thread.
std::recursive_mutex& handlerMutex() {
    static std::recursive_mutex m;
    return m;
}

ErrorHandler*& installedHandler() {
    static ErrorHandler* handler = nullptr;
    return handler;
}

}  // namespace

void setErrorHandler(ErrorHandler* handler) {
    std::lock_guard<std::recursive_mutex> lock(handlerMutex());
    installedHandler() = handler;
}

void removeErrorHandler() { setErrorHandler(nullptr); }

void closeApi() { removeErrorHandler(); }

void reportMessage(int32_t level, const std::string& text) {
    std::lock_guard<std::recursive_mutex> lock(handlerMutex());
    if (ErrorHandler* handler = installedHandler()) {
        handler->message(level, text);
    }
}

}  // namespace icon
