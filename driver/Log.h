#pragma once

#include <cstddef>
#include <cstdint>

class DriverContext;

// Longest formatted message, terminator included; longer messages are cut.
constexpr size_t kLogMessageSize = 1024;

// Unwritten file lines kept while no system directory is set.
constexpr size_t kMaxPendingLines = 10000;

// Sends one line to the debugger output, the host's debug procedure and the
// log file, each according to its level setting. Never throws: an output
// that fails loses the line on that output only.
int WriteLog(DriverContext* context, int32_t level, const char* format, ...) noexcept
    __attribute__((format(printf, 3, 4)));
