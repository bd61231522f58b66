#include "platform/PathUtil.h"

#include <unistd.h>

#include <vector>

namespace platform {
namespace {

std::vector<std::string> SplitSegments(const std::string& path) {
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string segment = path.substr(start, end - start);
        if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    return segments;
}

// Folds ".." lexically; a ".." that would climb above the start stays when the
// path is relative and is dropped at the root, as the root's parent is itself.
std::vector<std::string> Fold(const std::vector<std::string>& segments, bool absolute) {
    std::vector<std::string> folded;
    for (const std::string& segment : segments) {
        const bool up = segment == "..";
        if (up && !folded.empty() && folded.back() != "..") {
            folded.pop_back();
        } else if (!up || !absolute) {
            folded.push_back(segment);
        }
    }
    return folded;
}

std::string Join(const std::vector<std::string>& segments, bool absolute) {
    std::string path = absolute ? "/" : "";
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) {
            path += '/';
        }
        path += segments[i];
    }
    return path;
}

}  // namespace

bool PathIsRelative(const std::string& path) {
    return path.empty() || path[0] != '/';
}

bool PathAppend(std::string& base, const std::string& more) {
    const bool absolute = !PathIsRelative(base);
    std::vector<std::string> segments = SplitSegments(base);
    for (const std::string& segment : SplitSegments(more)) {
        segments.push_back(segment);
    }
    std::string joined = Join(Fold(segments, absolute), absolute);
    if (joined.size() + 1 > kMaxPath) {
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
    std::vector<std::string> from = Fold(SplitSegments(fromDir), true);
    std::vector<std::string> to = Fold(SplitSegments(toFile), true);
    size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) {
        ++common;
    }
    std::string relative;
    if (common == from.size()) {
        relative = ".";
    }
    for (size_t up = common; up < from.size(); ++up) {
        relative += relative.empty() ? ".." : "/..";
    }
    for (size_t i = common; i < to.size(); ++i) {
        relative += "/" + to[i];
    }
    if (relative.size() + 1 > kMaxPath) {
        return false;
    }
    result = relative;
    return true;
}

std::string AbsolutePath(const std::string& path) {
    if (!PathIsRelative(path)) {
        return path;
    }
    char directory[kMaxPath];
    if (::getcwd(directory, sizeof directory) == nullptr) {
        return path;
    }
    std::string absolute = directory;
    return PathAppend(absolute, path) ? absolute : path;
}

std::string JoinFileName(const std::string& directory, const char* fileName) {
    return directory + "/" + fileName;
}

}  // namespace platform
