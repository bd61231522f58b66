#include "tools/cvl-host/HostSession.h"

#include <chrono>
#include <cstdio>

namespace {
// The driver's callbacks carry no user pointer, so they reach the one session.
HostSession* current = nullptr;
constexpr int kPorts = 20;
}  // namespace

HostSession::HostSession(HostLibrary& driver, Console& console, bool verbose)
    : driver_(driver), console_(console), verbose_(verbose), imagesPerPort_(kPorts, 0) {
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
