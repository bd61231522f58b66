#include "platform/DebugOutput.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<DebugOutputSink> currentSink{&WriteSystemDebugOutput};

}  // namespace

void OutputDebugString(const char* message) {
    if (message != nullptr) {
        currentSink.load()(message);
    }
}

DebugOutputSink SetDebugOutputSink(DebugOutputSink sink) {
    return currentSink.exchange(sink != nullptr ? sink : &WriteSystemDebugOutput);
}

}  // namespace platform
