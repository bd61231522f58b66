#include "base/DriverContext.h"

#include "platform/PathUtil.h"

DriverContext* DriverContext::Instance() {
    static DriverContext context;
    return &context;
}

namespace {
// Created while the library loads, so the context lives from load to unload.
const DriverContext* const touchedAtLoad = DriverContext::Instance();
}  // namespace

// Not under the log lock: a thread that asks while another runs the host's
// debug procedure must not wait for that procedure.
std::string DriverContext::GetSystemPath() {
    std::lock_guard<std::mutex> lock(pathLock_);
    return systemPath_;
}

void DriverContext::SetSystemPath(const std::string& path) {
    std::lock_guard<std::mutex> lock(pathLock_);
    systemPath_ = path;
}

std::string DriverContext::ResolvePath(const std::string& path) {
    if (!platform::PathIsRelative(path)) {
        return path;
    }
    std::string joined = GetSystemPath();
    return platform::PathAppend(joined, path) ? joined : path;
}

// A relative system directory is relative to the working directory, and so
// is a file named beside it: both are anchored there first, and a far file
// comes back absolute, so that ResolvePath finds it again. Beside an
// absolute system directory a relative file already reads as stored and
// comes back unchanged.
std::string DriverContext::MakeRelativePath(const std::string& path) {
    std::string directory = GetSystemPath();
    std::string file = path;
    if (platform::PathIsRelative(directory)) {
        directory = platform::AbsolutePath(directory);
        file = platform::AbsolutePath(file);
    }
    std::string relative;
    if (platform::PathRelativePathTo(relative, directory, file) &&
        relative.rfind(platform::kTwoLevelsUp, 0) != 0) {
        return relative;
    }
    return file;
}

std::string DriverContext::SettingsFilePath() {
    return platform::JoinFileName(GetSystemPath(), "VaveZAZ.ini");
}

std::string DriverContext::LogFilePath() {
    return platform::JoinFileName(GetSystemPath(), "VaveZAZ.log");
}
