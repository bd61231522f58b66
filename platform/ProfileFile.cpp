#include "platform/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string_view>
#include <system_error>

#include "platform/FileRewrite.h"

namespace platform {
namespace {

enum class LineKind { Other, Section, Entry };

// One line of a profile file as the rules see it, with its byte positions so
// a write can change it without touching anything else.
struct ProfileLine {
    LineKind kind = LineKind::Other;
    std::string name;
    bool hasValue = false;
    std::string value;
    size_t begin = 0;
    size_t contentEnd = 0;
    size_t end = 0;
};

std::string_view Trim(std::string_view text) {
    const char* const blanks = " \t\v\f";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

void Classify(std::string_view content, ProfileLine& line) {
    content = Trim(content);
    if (content.empty() || content.front() == ';') {
        return;
    }
    if (content.front() == '[') {
        // A header without its closing bracket is no header and no entry.
        const size_t close = content.rfind(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::Section;
            line.name = Trim(content.substr(1, close - 1));
        }
        return;
    }
    line.kind = LineKind::Entry;
    const size_t equals = content.find('=');
    line.name = Trim(content.substr(0, equals));
    if (equals != std::string_view::npos) {
        line.hasValue = true;
        line.value = Trim(content.substr(equals + 1));
    }
}

size_t NextLineStart(const std::string& text, size_t contentEnd) {
    if (contentEnd >= text.size()) {
        return text.size();
    }
    const bool crlf =
        text[contentEnd] == '\r' && contentEnd + 1 < text.size() && text[contentEnd + 1] == '\n';
    return contentEnd + (crlf ? 2 : 1);
}

ProfileLine ParseLine(const std::string& text, size_t begin) {
    ProfileLine line;
    line.begin = begin;
    line.contentEnd = std::min(text.find_first_of("\r\n", begin), text.size());
    line.end = NextLineStart(text, line.contentEnd);
    Classify(std::string_view(text).substr(begin, line.contentEnd - begin), line);
    return line;
}

// Where a key stands in the file. Only the first section of the name is
// searched, and in it the first entry of the key.
struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    ProfileLine keyLine;
    // The section header or its last entry: new keys go after it, so that
    // comments and blank lines ahead of the next section stay with that one.
    ProfileLine lastEntry;
};

// Where the first line starts: after a UTF-8 byte-order mark, which some
// editors put at the start of the file. It is no part of the first line, and
// a write keeps it where it is.
size_t FirstLineStart(const std::string& text) {
    return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
}

// Walks the file one line at a time: memory does not grow with the number
// of lines, however many a damaged file has.
Location Locate(const std::string& text, const std::string& section, const std::string& key) {
    Location found;
    for (size_t pos = FirstLineStart(text); pos < text.size();) {
        ProfileLine line = ParseLine(text, pos);
        pos = line.end;
        if (line.kind == LineKind::Section) {
            if (found.sectionFound) {
                break;
            }
            found.sectionFound = EqualsNoCase(line.name, section);
            found.lastEntry = std::move(line);
        } else if (line.kind == LineKind::Entry && found.sectionFound) {
            if (EqualsNoCase(line.name, key)) {
                found.keyFound = true;
                found.keyLine = std::move(line);
                break;
            }
            found.lastEntry = std::move(line);
        }
    }
    return found;
}

std::string Unquote(const std::string& value) {
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    return quoted ? value.substr(1, value.size() - 2) : value;
}

enum class FileState { Missing, Read, Unreadable };

// Only a regular file is read: a directory, a pipe or a device at the
// settings path must not block or feed the reader endlessly. The file is
// opened first, without waiting (a pipe with no writer would block the open
// for good), and what was opened is checked: a check of the path before the
// open could be answered by another file than the one opened.
// `followLinks` false refuses a link at the path. `info` is the file's status
// when it was read; `error` says why it could not be.
FileState ReadFile(const std::string& path, bool followLinks, std::string& text, struct stat& info,
                   int& error) {
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        error = errno;
        return error == ENOENT || error == ENOTDIR ? FileState::Missing : FileState::Unreadable;
    }
    FileState state = FileState::Read;
    if (::fstat(fd, &info) != 0) {
        error = errno;
        state = FileState::Unreadable;
    } else if (!S_ISREG(info.st_mode)) {
        error = EISDIR;
        state = FileState::Unreadable;
    }
    char chunk[65536];
    while (state == FileState::Read) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            text.append(chunk, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
            state = FileState::Unreadable;
        }
    }
    ::close(fd);
    return state;
}

bool EndsWithLineBreak(const std::string& text) {
    return text.back() == '\n' || text.back() == '\r';
}

void SetValue(std::string& text, const std::string& section, const std::string& key,
              const std::string& value) {
    const Location found = Locate(text, section, key);
    if (found.keyFound) {
        const ProfileLine& line = found.keyLine;
        text.replace(line.begin, line.contentEnd - line.begin, line.name + "=" + value);
    } else if (found.sectionFound) {
        const ProfileLine& after = found.lastEntry;
        const bool lastLineOfFile = after.end == after.contentEnd;
        text.insert(after.end, (lastLineOfFile ? "\n" : "") + key + "=" + value + "\n");
    } else {
        if (text.size() > FirstLineStart(text) && !EndsWithLineBreak(text)) {
            text += '\n';
        }
        text += "[" + section + "]\n" + key + "=" + value + "\n";
    }
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

bool Fail(std::string& reason, const std::string& what, int error) {
    reason = what + ": " + std::generic_category().message(error);
    return false;
}

bool WriteValue(const std::string& section, const std::string& key, const std::string& value,
                const std::string& path, std::string& reason) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        reason = "a line break in the section name, the key or the value would split its line";
        return false;
    }
    // Writes are read-modify-write; two at once would lose one of them.
    static std::mutex writeLock;
    std::lock_guard<std::mutex> lock(writeLock);
    std::string target;
    if (!ResolveLinks(path, target, reason)) {
        return false;
    }
    std::string text;
    struct stat info;
    int error = 0;
    // The links are followed already: a link found now was put there since.
    const FileState state = ReadFile(target, false, text, info, error);
    // Rewriting a file that cannot be read would lose its content.
    if (state == FileState::Unreadable) {
        return Fail(reason, "cannot read it", error);
    }
    if (state == FileState::Read && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return Fail(reason, "may not write it", errno);
    }
    // A file nobody may write is read-only, as Windows keeps such a file from
    // every user: the superuser, who may write anything, leaves it alone too.
    if (state == FileState::Read && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        reason = "the file is read-only";
        return false;
    }
    const std::string oldText = text;
    SetValue(text, section, key, value);
    return RewriteFile(target, state == FileState::Read ? &info : nullptr, oldText, text, reason);
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path) {
    std::string value = defaultValue;
    std::string text;
    struct stat info;
    int error = 0;
    if (ReadFile(path, true, text, info, error) == FileState::Read) {
        const Location found = Locate(text, section, key);
        if (found.keyFound && found.keyLine.hasValue) {
            value = Unquote(found.keyLine.value);
        }
    }
    return value.substr(0, kProfileValueSize - 1);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path,
                               std::string* reason) {
    std::string why;
    const bool written = WriteValue(section, key, value, path, why);
    if (!written && reason != nullptr) {
        *reason = why;
    }
    return written;
}

}  // namespace platform
