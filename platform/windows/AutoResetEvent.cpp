#include "platform/AutoResetEvent.h"

#include <windows.h>

#include <system_error>

namespace platform {

AutoResetEvent::AutoResetEvent() : handle_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    if (handle_ == nullptr) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "cannot create an event");
    }
}

AutoResetEvent::~AutoResetEvent() {
    ::CloseHandle(handle_);
}

void AutoResetEvent::Set() {
    ::SetEvent(handle_);
}

void AutoResetEvent::Wait() {
    ::WaitForSingleObject(handle_, INFINITE);
}

}  // namespace platform
