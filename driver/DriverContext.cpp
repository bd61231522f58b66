#include "driver/DriverContext.h"

#include "platform/PathUtil.h"

DriverContext* DriverContext::Instance() {
    static DriverContext context;
    return &context;
}

namespace {
// Created while the library loads, so the context lives from load to unload.
const DriverContext* const touchedAtLoad = DriverContext::Instance();
}  // namespace

std::string DriverContext::GetSystemPath() {
    platform::ScopedLock lock(logLock);
    return systemPath_;
}

void DriverContext::SetSystemPath(const std::string& path) {
    platform::ScopedLock lock(logLock);
    systemPath_ = path;
}

std::string DriverContext::ResolvePath(const std::string& path) {
    if (!platform::PathIsRelative(path)) {
        return path;
    }
    std::string joined = GetSystemPath();
    return platform::PathAppend(joined, path) ? joined : path;
}

std::string DriverContext::MakeRelativePath(const std::string& path) {
    std::string relative;
    if (platform::PathRelativePathTo(relative, GetSystemPath(), path) &&
        relative.compare(0, 6, "../../") != 0) {
        return relative;
    }
    return path;
}

std::string DriverContext::SettingsFilePath() {
    return platform::JoinFileName(GetSystemPath(), "VaveZAZ.ini");
}

std::string DriverContext::LogFilePath() {
    return platform::JoinFileName(GetSystemPath(), "VaveZAZ.log");
}
