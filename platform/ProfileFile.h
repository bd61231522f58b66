#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Size of the buffer a profile read fills, terminator included: a read value
// is cut to one character less.
constexpr size_t kProfileValueSize = 256;

// Reads `key` in `section` of the profile file at `path`: sections in square
// brackets, one "key=value" line per setting. Section and key names match
// without regard to case; the first matching section, and in it the first
// matching key, wins. A UTF-8 byte-order mark at the start of the file is
// skipped. The value is trimmed and loses one pair of enclosing quotes. A missing or unreadable
// file, section, key or value gives `defaultValue`. The result is cut to kProfileValueSize - 1
// characters.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path);

// Sets `key` in `section` to `value`, creating the file, the section (at the
// end of the file) and the key (at the end of its section) as needed. An
// existing value is replaced in place; every other byte of the file is kept.
// A symbolic link is written through to its target; the file keeps its owner,
// mode and hard links, and a failed write leaves the old content whole
// wherever the system allows it (see RewriteFile). Returns false when the
// value was not written, with the reason in `reason` when it is given: also
// for a file that cannot be read, may not be written or is read-only (no
// write permission for anyone, whoever the process runs as), and for names or
// values containing a line break, which would split the line.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path,
                               std::string* reason = nullptr);

}  // namespace platform
