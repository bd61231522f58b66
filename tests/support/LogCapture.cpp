#include "tests/support/LogCapture.h"

#include <algorithm>
#include <regex>

#include "platform/DebugOutput.h"

namespace {
LogCapture* active = nullptr;

bool IsTimestamp(const std::string& text) {
    static const std::regex timestamp(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d: )");
    return std::regex_match(text, timestamp);
}
}  // namespace

LogCapture::LogCapture() {
    active = this;
    platform::SetDebugOutputSink(&LogCapture::OnDebugOutput);
}

LogCapture::~LogCapture() {
    platform::SetDebugOutputSink(nullptr);
    active = nullptr;
}

DebugMsgProc LogCapture::Proc() {
    return &LogCapture::OnProc;
}

void LogCapture::OnProc(const char* text) {
    if (active != nullptr) {
        std::lock_guard<std::mutex> lock(active->mutex_);
        active->calls_.emplace_back(text);
    }
}

void LogCapture::OnDebugOutput(const char* text) {
    if (active != nullptr) {
        std::lock_guard<std::mutex> lock(active->mutex_);
        active->debugOutput_.emplace_back(text);
    }
}

std::vector<std::string> LogCapture::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> messages;
    for (const std::string& call : calls_) {
        if (!IsTimestamp(call)) {
            messages.push_back(call);
        }
    }
    return messages;
}

std::vector<std::string> LogCapture::Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::vector<std::string> LogCapture::DebugOutput() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return debugOutput_;
}

bool LogCapture::Contains(const std::string& message) const {
    std::vector<std::string> messages = Messages();
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
    debugOutput_.clear();
}
