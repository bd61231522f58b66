#include "platform/PathUtil.h"

#include <shlwapi.h>
#include <windows.h>

#include <sstream>
#include <vector>

// The system's headers name their text functions by macros; the driver's own
// functions of the same names are meant here.
#undef PathIsRelative
#undef PathAppend
#undef PathRelativePathTo

namespace platform {

namespace {

// `base` and `more` joined, with "." and ".." folded, for a relative `base`.
// The system's PathAppend folds "sys\..\other" to "\other", a path from
// the drive's root: a relative directory keeps its unmatched ".." instead.
std::string JoinRelative(const std::string& base, const std::string& more) {
    std::vector<std::string> kept;
    std::istringstream parts(base + "\\" + more);
    for (std::string part; std::getline(parts, part, '\\');) {
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == ".." && !kept.empty() && kept.back() != "..") {
            kept.pop_back();
        } else {
            kept.push_back(part);
        }
    }
    std::string joined;
    for (const std::string& part : kept) {
        joined += (joined.empty() ? "" : "\\") + part;
    }
    return joined.empty() ? "." : joined;
}

}  // namespace

bool PathIsRelative(const std::string& path) {
    return ::PathIsRelativeA(path.c_str()) != FALSE;
}

bool PathAppend(std::string& base, const std::string& more) {
    if (PathIsRelative(base) && PathIsRelative(more)) {
        std::string folded = JoinRelative(base, more);
        if (folded.size() + 1 > MAX_PATH) {
            return false;
        }
        base = folded;
        return true;
    }
    char joined[MAX_PATH];
    if (base.size() + 1 > sizeof joined) {
        return false;
    }
    base.copy(joined, base.size());
    joined[base.size()] = '\0';
    if (!::PathAppendA(joined, more.c_str())) {
        return false;
    }
    base = joined;
    return true;
}

bool PathRelativePathTo(std::string& result, const std::string& fromDir,
                        const std::string& toFile) {
    if (PathIsRelative(fromDir) || PathIsRelative(toFile)) {
        return false;
    }
    char relative[MAX_PATH];
    if (!::PathRelativePathToA(relative, fromDir.c_str(), FILE_ATTRIBUTE_DIRECTORY, toFile.c_str(),
                               FILE_ATTRIBUTE_NORMAL)) {
        return false;
    }
    result = relative;
    return true;
}

std::string AbsolutePath(const std::string& path) {
    if (!PathIsRelative(path)) {
        return path;
    }
    char absolute[MAX_PATH];
    const DWORD length = ::GetFullPathNameA(path.c_str(), sizeof absolute, absolute, nullptr);
    return length > 0 && length < sizeof absolute ? std::string(absolute, length) : path;
}

std::string JoinFileName(const std::string& directory, const char* fileName) {
    return directory + "\\" + fileName;
}

}  // namespace platform
