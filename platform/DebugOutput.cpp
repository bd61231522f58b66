#include "platform/DebugOutput.h"

#include <unistd.h>

#include <atomic>
#include <cstring>

namespace platform {
namespace {

void WriteToStandardError(const char* message) {
    size_t left = std::strlen(message);
    while (left > 0) {
        ssize_t written = ::write(STDERR_FILENO, message, left);
        if (written <= 0) {
            return;
        }
        message += written;
        left -= static_cast<size_t>(written);
    }
}

std::atomic<DebugOutputSink> currentSink{&WriteToStandardError};

}  // namespace

void OutputDebugString(const char* message) {
    if (message != nullptr) {
        currentSink.load()(message);
    }
}

DebugOutputSink SetDebugOutputSink(DebugOutputSink sink) {
    return currentSink.exchange(sink != nullptr ? sink : &WriteToStandardError);
}

}  // namespace platform
