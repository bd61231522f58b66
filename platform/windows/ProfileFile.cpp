#include "platform/ProfileFile.h"

#include <windows.h>

// The system's headers name their text functions by macros; the driver's own
// functions of the same names are meant here.
#undef GetPrivateProfileString
#undef WritePrivateProfileString

#include <system_error>

namespace platform {
namespace {

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// Windows keeps a read-only file from every user; the check is made here too,
// so that the refusal does not hang on how the file system underneath maps
// the attribute (Wine's mapping lets its superuser write such a file).
bool IsReadOnly(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path) {
    char value[kProfileValueSize];
    ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), value,
                               sizeof value, path.c_str());
    return value;
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path,
                               std::string* reason) {
    std::string why;
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        why = "a line break in the section name, the key or the value would split its line";
    } else if (IsReadOnly(path)) {
        why = "the file is read-only";
    } else if (!::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                             path.c_str())) {
        why = std::system_category().message(static_cast<int>(::GetLastError()));
    } else {
        return true;
    }
    if (reason != nullptr) {
        *reason = why;
    }
    return false;
}

}  // namespace platform
