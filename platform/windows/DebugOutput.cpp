#include "platform/DebugOutput.h"

#include <windows.h>

// The system's headers name their text functions by macros; the driver's own
// functions of the same names are meant here.
#undef OutputDebugString

#include <atomic>

namespace platform {
namespace {

void WriteToDebugger(const char* message) {
    ::OutputDebugStringA(message);
}

std::atomic<DebugOutputSink> currentSink{&WriteToDebugger};

}  // namespace

void OutputDebugString(const char* message) {
    if (message != nullptr) {
        currentSink.load()(message);
    }
}

DebugOutputSink SetDebugOutputSink(DebugOutputSink sink) {
    return currentSink.exchange(sink != nullptr ? sink : &WriteToDebugger);
}

}  // namespace platform
