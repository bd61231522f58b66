#pragma once

#include <cstddef>
#include <cstdint>

class DriverContext;

// MinGW's C++ runtime formats with its own C99 printf (%zu, %lld), which
// MinGW's headers name; the Microsoft runtime's printf would not accept them.
#ifdef __MINGW_PRINTF_FORMAT
#define VAVEZAZ_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define VAVEZAZ_PRINTF_FORMAT printf
#endif

// Longest formatted message, terminator included; longer messages are cut.
constexpr size_t kLogMessageSize = 1024;

// Unwritten file lines kept while no system directory is set.
constexpr size_t kMaxPendingLines = 10000;

// Sends one line to the debugger output, the host's debug procedure and the
// log file, each according to its level setting. Never throws: an output
// that fails loses the line on that output only.
int WriteLog(DriverContext* context, int32_t level, const char* format, ...) noexcept
    __attribute__((format(VAVEZAZ_PRINTF_FORMAT, 3, 4)));
