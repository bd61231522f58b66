// The POSIX environment calls the suites use to point a test at its own
// files, on the C runtime's _putenv_s. Included ahead of every test source of
// the Windows build.
#pragma once

#include <cstdlib>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name) != nullptr) {
        return 0;
    }
    return _putenv_s(name, value);
}

// An empty value removes the variable from the C runtime's environment.
inline int unsetenv(const char* name) {
    return _putenv_s(name, "");
}
