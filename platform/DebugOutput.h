#pragma once

namespace platform {

// The debugger output. By default each message goes to the system's own
// output in one write; tests replace the sink to capture what was sent.
// Thread-safe.
using DebugOutputSink = void (*)(const char* message);

void OutputDebugString(const char* message);

// Installs a sink; null restores the system's output. Returns the previous
// sink.
DebugOutputSink SetDebugOutputSink(DebugOutputSink sink);

// The system's output: standard error on Linux, the debugger's output on
// Windows.
void WriteSystemDebugOutput(const char* message);

}  // namespace platform
