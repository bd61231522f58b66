#pragma once

namespace platform {

// The debugger output. By default each message goes to standard error in one
// write; tests replace the sink to capture what was sent.
using DebugOutputSink = void (*)(const char* message);

void OutputDebugString(const char* message);

// Installs a sink; null restores standard error. Returns the previous sink.
DebugOutputSink SetDebugOutputSink(DebugOutputSink sink);

}  // namespace platform
