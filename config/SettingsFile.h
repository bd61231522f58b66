#pragma once

#include <string>

// One section of the settings file. Every call reads or rewrites the file, so
// it always sees the file as it is now.
class SettingsFile {
  public:
    SettingsFile(const std::string& path, const std::string& section);

    // The stored value, cut to 255 characters; `defaultValue` when the file,
    // the section or the key is missing.
    std::string Read(const std::string& key, const std::string& defaultValue) const;
    // A failed write leaves the file as it was and is not reported: the
    // values stay in memory and are written again on the next save.
    void Write(const std::string& key, const std::string& text) const;

  private:
    std::string path_;
    std::string section_;
};
