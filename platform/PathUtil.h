#pragma once

#include <string>

namespace platform {

// Longest path the path operations produce, terminator included, as on the
// platform the driver's stored paths come from.
constexpr size_t kMaxPath = 260;

// How a relative path that climbs two directories up starts.
#ifdef _WIN32
constexpr const char* kTwoLevelsUp = "..\\..\\";
#else
constexpr const char* kTwoLevelsUp = "../../";
#endif

// A path is relative when it does not start at the root.
bool PathIsRelative(const std::string& path);

// Joins `more` onto `base` with one separator and folds "." and ".." segments.
// Fails, leaving `base` unchanged, when the result would not fit kMaxPath.
bool PathAppend(std::string& base, const std::string& more);

// The relative path from directory `fromDir` to file `toFile`: "./name" for a
// file inside the directory, "../" once for every level up otherwise. Fails
// when either path is relative or the result would not fit kMaxPath.
bool PathRelativePathTo(std::string& result, const std::string& fromDir, const std::string& toFile);

// A relative path anchored at the current working directory, with "." and
// ".." folded; an absolute path as it is. Unchanged when the working
// directory is unknown or the result would not fit kMaxPath.
std::string AbsolutePath(const std::string& path);

// `directory` + separator + `fileName`.
std::string JoinFileName(const std::string& directory, const char* fileName);

}  // namespace platform
