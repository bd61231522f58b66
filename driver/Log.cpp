#include "driver/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/DriverContext.h"
#include "platform/DebugOutput.h"
#include "platform/LocalTime.h"

namespace {

constexpr size_t kTimestampSize = 128;

// Formats into `message` and applies the line-feed rule: a message of 1 to
// 1021 characters that does not end in a line feed gets one. A message cut to
// fit the buffer ends in a line feed too, so the next line starts on its own.
void FormatMessage(char (&message)[kLogMessageSize], const char* format, va_list args) {
    int written = std::vsnprintf(message, sizeof message, format, args);
    if (written < 0) {
        message[0] = '\0';
        return;
    }
    if (static_cast<size_t>(written) >= sizeof message) {
        message[sizeof message - 2] = '\n';
        return;
    }
    size_t length = static_cast<size_t>(written);
    if (length >= 1 && length <= kLogMessageSize - 3 && message[length - 1] != '\n') {
        message[length] = '\n';
        message[length + 1] = '\0';
    }
}

void FormatTimestamp(char (&timestamp)[kTimestampSize]) {
    platform::LocalTime now = platform::GetLocalTime();
    std::snprintf(timestamp, sizeof timestamp, "%.2d/%.2d/%.2d %.2d:%.2d:%.2d: ", now.day,
                  now.month, now.year % 100, now.hour, now.minute, now.second);
}

void KeepPending(DriverContext* context, const char* timestamp, const char* message) {
    if (context->pendingLines.size() < kMaxPendingLines) {
        context->pendingLines.push_back(std::string(timestamp) + message);
    } else {
        ++context->droppedPendingLines;
    }
}

// The file is opened and closed for every line, so no handle outlives a call
// and an external tool may rotate or delete the log at any time.
void AppendToFile(DriverContext* context, const char* timestamp, const char* message) {
    if (context->GetSystemPath().empty()) {
        KeepPending(context, timestamp, message);
        return;
    }
    std::FILE* file = std::fopen(context->LogFilePath().c_str(), "a");
    if (file == nullptr) {
        return;
    }
    for (const std::string& line : context->pendingLines) {
        std::fprintf(file, "%s", line.c_str());
    }
    context->pendingLines.clear();
    if (context->droppedPendingLines > 0) {
        std::fprintf(file, "%s%d log lines were dropped while no system directory was set\n",
                     timestamp, context->droppedPendingLines);
        context->droppedPendingLines = 0;
    }
    std::fprintf(file, "%s%s", timestamp, message);
    std::fclose(file);
}

// Runs one output of a line. An output that fails (a host procedure that
// throws, memory running out) loses the line on that output only.
template <typename Output>
void Quietly(Output output) noexcept {
    try {
        output();
    } catch (...) {
    }
}

}  // namespace

// Callers log from destructors, exception handlers and the grabber's thread,
// so nothing may leave this function.
int WriteLog(DriverContext* context, int32_t level, const char* format, ...) noexcept {
    if (!context->Logs(level)) {
        return 0;
    }
    try {
        platform::ScopedLock lock(context->logLock);

        // The buffers live on the stack rather than in shared storage: a host
        // procedure that logs again from inside this call must not overwrite
        // the line still being written.
        char message[kLogMessageSize];
        va_list args;
        va_start(args, format);
        FormatMessage(message, format, args);
        va_end(args);

        if (level <= context->debugViewOutput.load()) {
            Quietly([&] { platform::OutputDebugString(message); });
        }
        if (level <= context->logLevel.load()) {
            char timestamp[kTimestampSize];
            FormatTimestamp(timestamp);
            if (DebugMsgProc proc = context->debugMsgProc.load()) {
                Quietly([&] {
                    proc(timestamp);
                    proc(message);
                });
            }
            if (context->logIntoFile.load()) {
                Quietly([&] { AppendToFile(context, timestamp, message); });
            }
        }
    } catch (...) {
        // Only taking the lock can fail out here; the line is lost.
    }
    return 0;
}
