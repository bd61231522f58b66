#pragma once

#include <string>

// One section of the settings file. Every call reads or rewrites the file, so
// it always sees the file as it is now.
// Reentrant: two calls at once on one file may each see the other's write or not, as two programs
// would.
class SettingsFile {
  public:
    SettingsFile(const std::string& path, const std::string& section);

    // The stored value, cut to 255 characters; `defaultValue` when the file,
    // the section or the key is missing.
    std::string Read(const std::string& key, const std::string& defaultValue) const;
    // False when the value was not written, with the reason in `reason` when
    // it is given; a failed write leaves the file's old content whole
    // wherever the system allows it.
    bool Write(const std::string& key, const std::string& text,
               std::string* reason = nullptr) const;

    const std::string& Path() const { return path_; }
    const std::string& Section() const { return section_; }

  private:
    std::string path_;
    std::string section_;
};
