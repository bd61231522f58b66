#include "base/Log.h"

#include <atomic>
#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "base/DriverContext.h"
#include "base/DriverLock.h"
#include "platform/DebugOutput.h"
#include "platform/LocalTime.h"

namespace {

constexpr size_t kTimestampSize = 128;

// Lines kept for the holder of the log lock while it runs the host's
// procedure; beyond these, lines are counted and dropped.
constexpr size_t kMaxHandedOverLines = 10000;

// Calls of the host's debug procedure under way on this thread, and on any
// thread (only the holder of the log lock calls it).
thread_local int insideDebugProcedure = 0;
std::atomic<int> procedureRunning{0};
// LogWithoutWaiting marks on this thread.
thread_local int withoutWaiting = 0;

class DebugProcedureMark {
  public:
    DebugProcedureMark() {
        ++insideDebugProcedure;
        ++procedureRunning;
    }
    ~DebugProcedureMark() {
        --procedureRunning;
        --insideDebugProcedure;
    }

    DebugProcedureMark(const DebugProcedureMark&) = delete;
    DebugProcedureMark& operator=(const DebugProcedureMark&) = delete;
};

void CallDebugProcedure(DebugMsgProc proc, const char* timestamp, const char* message) {
    DebugProcedureMark mark;
    proc(timestamp);
    proc(message);
}

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

// Writes one line to each output its level reaches. Called under the log lock.
void WriteLine(DriverContext* context, int32_t level, const char* timestamp, const char* message) {
    if (level <= context->debugViewOutput.load()) {
        Quietly([&] { platform::OutputDebugString(message); });
    }
    if (level <= context->logLevel.load()) {
        if (DebugMsgProc proc = context->debugMsgProc.load()) {
            Quietly([&] { CallDebugProcedure(proc, timestamp, message); });
        }
        if (context->logIntoFile.load()) {
            Quietly([&] { AppendToFile(context, timestamp, message); });
        }
    }
}

// A line logged while the host's debug procedure ran on another thread.
struct HandedOverLine {
    int32_t level;
    std::string timestamp;
    std::string message;
};

struct HandOver {
    std::mutex mutex;
    std::deque<HandedOverLine> lines;
    int32_t dropped = 0;
    // Whether lines or a drop wait, readable without the mutex: every line
    // asks once it has let the log lock go.
    std::atomic<bool> waiting{false};
};

// Never destroyed: a thread of the camera API may log while the process ends.
HandOver& TheHandOver() {
    static HandOver* handOver = new HandOver();
    return *handOver;
}

void HandOverLine(int32_t level, const char* timestamp, const char* message) {
    HandOver& handOver = TheHandOver();
    std::lock_guard<std::mutex> lock(handOver.mutex);
    if (handOver.lines.size() < kMaxHandedOverLines) {
        handOver.lines.push_back({level, timestamp, message});
    } else {
        ++handOver.dropped;
    }
    handOver.waiting = true;
}

bool LinesHandedOver() {
    return TheHandOver().waiting.load();
}

// Writes the lines handed over so far, in the order they came. Called under
// the log lock, ahead of the caller's own line.
void WriteHandedOverLines(DriverContext* context) {
    HandOver& handOver = TheHandOver();
    std::deque<HandedOverLine> lines;
    int32_t dropped = 0;
    {
        std::lock_guard<std::mutex> lock(handOver.mutex);
        lines.swap(handOver.lines);
        std::swap(dropped, handOver.dropped);
        handOver.waiting = false;
    }
    for (const HandedOverLine& line : lines) {
        WriteLine(context, line.level, line.timestamp.c_str(), line.message.c_str());
    }
    if (dropped > 0) {
        char message[kLogMessageSize];
        std::snprintf(message, sizeof message,
                      "%d log lines were dropped while the host's debug procedure ran\n", dropped);
        char timestamp[kTimestampSize];
        FormatTimestamp(timestamp);
        WriteLine(context, 1, timestamp, message);
    }
}

// Takes the log lock. A thread marked LogWithoutWaiting hands the line over
// instead while the holder runs the host's procedure: that procedure may be
// waiting for this thread (to join it, or for a callback it is in), so
// waiting for it could last for ever. A holder outside the procedure is only
// writing a line, and is waited for. False when the line was handed over and
// the lock was not taken; true with the lock held and *handedOver telling
// whether the line is among the handed-over ones.
bool TakeLogLock(DriverContext* context, int32_t level, const char* timestamp, const char* message,
                 bool* handedOver) {
    if (withoutWaiting == 0) {
        context->logLock.lock();
        return true;
    }
    while (!context->logLock.try_lock()) {
        if (procedureRunning.load() > 0) {
            HandOverLine(level, timestamp, message);
            *handedOver = true;
            // The holder may have let go meanwhile without seeing the line.
            return context->logLock.try_lock();
        }
        std::this_thread::yield();
    }
    return true;
}

}  // namespace

bool InsideDebugProcedure() {
    return insideDebugProcedure > 0;
}

LogWithoutWaiting::LogWithoutWaiting() {
    ++withoutWaiting;
}

LogWithoutWaiting::~LogWithoutWaiting() {
    --withoutWaiting;
}

// Callers log from destructors, exception handlers and the grabber's thread,
// so nothing may leave this function.
int WriteLog(DriverContext* context, int32_t level, const char* format, ...) noexcept {
    if (!context->Logs(level)) {
        return 0;
    }
    // The host's procedure runs under the log lock and may call any entry
    // point, which takes the driver's locks: a thread that waited for the log
    // lock holding one of them could deadlock with another thread's
    // procedure (see DriverLock.h).
    assert(DriverLocksHeld() == 0 && "a line is logged while a driver lock is held");
    try {
        // The buffers live on the stack rather than in shared storage: a host
        // procedure that logs again from inside this call must not overwrite
        // the line still being written.
        char message[kLogMessageSize];
        va_list args;
        va_start(args, format);
        FormatMessage(message, format, args);
        va_end(args);
        char timestamp[kTimestampSize];
        FormatTimestamp(timestamp);

        bool handedOver = false;
        if (!TakeLogLock(context, level, timestamp, message, &handedOver)) {
            return 0;
        }
        std::unique_lock<platform::CriticalSection> lock(context->logLock, std::adopt_lock);
        WriteHandedOverLines(context);
        if (!handedOver) {
            WriteLine(context, level, timestamp, message);
        }
        lock.unlock();
        // A line handed over after the last look would otherwise wait for the
        // next line logged.
        while (LinesHandedOver() && context->logLock.try_lock()) {
            std::unique_lock<platform::CriticalSection> again(context->logLock, std::adopt_lock);
            WriteHandedOverLines(context);
        }
    } catch (...) {
        // Taking a lock or keeping a handed-over line failed; the line is lost.
    }
    return 0;
}
