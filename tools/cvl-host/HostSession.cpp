#include "tools/cvl-host/HostSession.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

namespace {
// The driver's callbacks carry no user pointer, so they reach the one session.
HostSession* current = nullptr;
constexpr int kPorts = 20;

// The driver ends every message with a line feed and sends its time stamp
// before it as a text of its own, without one.
bool IsTimestamp(const std::string& text) {
    return text.empty() || text.back() != '\n';
}

// The driver's warnings, errors and exception lines, however they are spelled.
bool IsWarningOrError(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* word : {"error", "warning", "exception"}) {
        if (text.find(word) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

HostSession::HostSession(HostLibrary& driver, Console& console, bool verbose,
                         const std::string& systemDir)
    : driver_(driver),
      console_(console),
      verbose_(verbose),
      systemDir_(systemDir),
      imagesPerPort_(kPorts, 0) {
    current = this;
}

HostSession::~HostSession() {
    current = nullptr;
}

int HostSession::OnImageComplete(int, int portNo) {
    if (current != nullptr) {
        current->Announce(portNo);
    }
    return 0;
}

void HostSession::OnDebugMessage(const char* text) {
    if (current != nullptr) {
        current->Log(text);
    }
}

void HostSession::Announce(int port) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (port >= 0 && port < kPorts) {
            ++imagesPerPort_[static_cast<size_t>(port)];
        }
    }
    announced_.notify_all();
    std::lock_guard<std::mutex> lock(listenerMutex_);
    if (listener_) {
        listener_(port);
    }
}

void HostSession::SetImageListener(std::function<void(int port)> listener) {
    std::lock_guard<std::mutex> lock(listenerMutex_);
    listener_ = std::move(listener);
}

void HostSession::Log(const char* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (verbose_) {
        std::fputs(text, stdout);
        std::fflush(stdout);
    }
    if (capture_) {
        captured_.emplace_back(text);
    }
}

bool HostSession::WaitForImages(int port, int count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return announced_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return imagesPerPort_[static_cast<size_t>(port)] >= count; });
}

int HostSession::ImagesAnnounced(int port) {
    std::lock_guard<std::mutex> lock(mutex_);
    return imagesPerPort_[static_cast<size_t>(port)];
}

void HostSession::Capture(bool capture) {
    std::lock_guard<std::mutex> lock(mutex_);
    capture_ = capture;
    if (capture) {
        captured_.clear();
    }
}

std::vector<std::string> HostSession::Captured() {
    std::lock_guard<std::mutex> lock(mutex_);
    return captured_;
}

std::string HostSession::WarningLines() {
    std::string lines;
    for (const std::string& line : Captured()) {
        if (!IsTimestamp(line) && IsWarningOrError(line)) {
            lines += "\n  driver: " + line.substr(0, line.size() - 1);
        }
    }
    return lines;
}

ToolError HostSession::Failure(ExitCode code, const std::string& message) {
    std::string text = message + WarningLines();
    if (AppendToLog(message)) {
        text += "\n(the driver's lines of this call are in " +
                (std::filesystem::path(systemDir_) / kLogFileName).string() +
                "; --verbose prints every line as it comes)";
    } else {
        text += "\n(run with --verbose to see every line the driver logs)";
    }
    return ToolError(code, text);
}

// False when nothing was captured, there is no system directory or the log
// cannot be written.
bool HostSession::AppendToLog(const std::string& message) {
    const std::vector<std::string> lines = Captured();
    if (lines.empty() || systemDir_.empty()) {
        return false;
    }
    std::ofstream log(std::filesystem::path(systemDir_) / kLogFileName, std::ios::app);
    log << "cvl-host: " << message.substr(0, message.find('\n')) << "\n";
    for (const std::string& line : lines) {
        log << line;
    }
    return static_cast<bool>(log.flush());
}
