#include "tests/dialog/XvfbDisplay.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

std::string FindProgram(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream directories(path != nullptr ? path : "/usr/bin:/bin");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        const std::string candidate = directory + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return "";
}

XvfbDisplay::XvfbDisplay() {
    const std::string xvfb = FindProgram("Xvfb");
    if (xvfb.empty()) {
        error_ = "Xvfb is not installed (Debian package xvfb; tools/install-deps.sh installs it)";
        return;
    }
    int ready[2];
    if (::pipe(ready) != 0) {
        error_ = "cannot make a pipe for Xvfb";
        return;
    }
    server_ = ::fork();
    if (server_ == 0) {
        // The server ends with the test, also when the test is killed.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::close(ready[0]);
        const std::string fd = std::to_string(ready[1]);
        // -displayfd: the server picks a free display number and writes it
        // here once it accepts connections.
        ::execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                "-nolisten", "tcp", "-ac", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline && ::poll(&wait, 1, 200) >= 0) {
        char chunk[16];
        if ((wait.revents & (POLLIN | POLLHUP)) == 0) {
            continue;
        }
        const ssize_t got = ::read(ready[0], chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        number.append(chunk, static_cast<size_t>(got));
        if (number.find('\n') != std::string::npos) {
            break;
        }
    }
    ::close(ready[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) {
        number.pop_back();
    }
    if (number.empty()) {
        error_ = "Xvfb did not report a display within 20 s";
        return;
    }
    name_ = ":" + number;
}

XvfbDisplay::~XvfbDisplay() {
    if (server_ > 0) {
        ::kill(server_, SIGTERM);
        int status = 0;
        ::waitpid(server_, &status, 0);
    }
}

CommandResult RunOnDisplay(const std::string& display, const std::string& command) {
    CommandResult result;
    const std::string line = "DISPLAY=" + display + " " + command + " 2>/dev/null";
    FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char chunk[512];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        result.output.append(chunk, got);
    }
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
