#include "config/SettingsFile.h"

#include "platform/ProfileFile.h"

SettingsFile::SettingsFile(const std::string& path, const std::string& section)
    : path_(path), section_(section) {}

std::string SettingsFile::Read(const std::string& key, const std::string& defaultValue) const {
    return platform::GetPrivateProfileString(section_, key, defaultValue, path_);
}

bool SettingsFile::Write(const std::string& key, const std::string& text,
                         std::string* reason) const {
    return platform::WritePrivateProfileString(section_, key, text, path_, reason);
}
