#include "platform/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

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

std::vector<ProfileLine> ParseLines(const std::string& text) {
    std::vector<ProfileLine> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        ProfileLine line;
        line.begin = pos;
        line.contentEnd = std::min(text.find_first_of("\r\n", pos), text.size());
        line.end = NextLineStart(text, line.contentEnd);
        Classify(std::string_view(text).substr(pos, line.contentEnd - pos), line);
        pos = line.end;
        lines.push_back(std::move(line));
    }
    return lines;
}

// Index of the first header of `section`, or lines.size().
size_t FindSection(const std::vector<ProfileLine>& lines, const std::string& section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::Section && EqualsNoCase(lines[i].name, section)) {
            return i;
        }
    }
    return lines.size();
}

// Index of the next header after `header`, or lines.size().
size_t SectionEnd(const std::vector<ProfileLine>& lines, size_t header) {
    size_t i = header + 1;
    while (i < lines.size() && lines[i].kind != LineKind::Section) {
        ++i;
    }
    return i;
}

// Index of the first entry of `key` in [first, last), or `last`.
size_t FindKey(const std::vector<ProfileLine>& lines, size_t first, size_t last,
               const std::string& key) {
    for (size_t i = first; i < last; ++i) {
        if (lines[i].kind == LineKind::Entry && EqualsNoCase(lines[i].name, key)) {
            return i;
        }
    }
    return last;
}

std::string Unquote(const std::string& value) {
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    return quoted ? value.substr(1, value.size() - 2) : value;
}

enum class FileState { Missing, Read, Unreadable };

// Only a regular file is read: a directory, a pipe or a device at the
// settings path must not block or feed the reader endlessly.
FileState ReadFile(const std::string& path, std::string& text, mode_t& mode) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? FileState::Missing : FileState::Unreadable;
    }
    if (!S_ISREG(info.st_mode)) {
        return FileState::Unreadable;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return FileState::Unreadable;
    }
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    mode = info.st_mode & 07777;
    return file.bad() ? FileState::Unreadable : FileState::Read;
}

bool EndsWithLineBreak(const std::string& text) {
    return text.back() == '\n' || text.back() == '\r';
}

void InsertEntry(std::string& text, const std::vector<ProfileLine>& lines, size_t header,
                 const std::string& entry) {
    size_t last = header;
    for (size_t i = header + 1; i < SectionEnd(lines, header); ++i) {
        if (lines[i].kind == LineKind::Entry) {
            last = i;
        }
    }
    const ProfileLine& after = lines[last];
    if (after.end == after.contentEnd) {
        text.insert(after.end, "\n" + entry + "\n");
    } else {
        text.insert(after.end, entry + "\n");
    }
}

void SetValue(std::string& text, const std::string& section, const std::string& key,
              const std::string& value) {
    const std::vector<ProfileLine> lines = ParseLines(text);
    const size_t header = FindSection(lines, section);
    if (header == lines.size()) {
        if (!text.empty() && !EndsWithLineBreak(text)) {
            text += '\n';
        }
        text += "[" + section + "]\n" + key + "=" + value + "\n";
        return;
    }
    const size_t end = SectionEnd(lines, header);
    const size_t found = FindKey(lines, header + 1, end, key);
    if (found == end) {
        InsertEntry(text, lines, header, key + "=" + value);
        return;
    }
    const ProfileLine& line = lines[found];
    text.replace(line.begin, line.contentEnd - line.begin, line.name + "=" + value);
}

bool WriteAll(int fd, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

// Writes `text` to a new file beside `path` and renames it over `path`, so
// readers see either the old or the new file, never a part of one.
bool ReplaceFile(const std::string& path, const std::string& text, std::optional<mode_t> mode) {
    static std::atomic<unsigned> counter{0};
    const std::string temp =
        path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, text) && (!mode || ::fchmod(fd, *mode) == 0) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path) {
    std::string value = defaultValue;
    std::string text;
    mode_t mode = 0;
    if (ReadFile(path, text, mode) == FileState::Read) {
        const std::vector<ProfileLine> lines = ParseLines(text);
        const size_t header = FindSection(lines, section);
        if (header < lines.size()) {
            const size_t end = SectionEnd(lines, header);
            const size_t found = FindKey(lines, header + 1, end, key);
            if (found < end && lines[found].hasValue) {
                value = Unquote(lines[found].value);
            }
        }
    }
    return value.substr(0, kProfileValueSize - 1);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        return false;
    }
    // Writes are read-modify-replace; two at once would lose one of them.
    static std::mutex writeLock;
    std::lock_guard<std::mutex> lock(writeLock);
    std::string text;
    mode_t mode = 0;
    const FileState state = ReadFile(path, text, mode);
    // Rewriting a file that cannot be read, or may not be written, would
    // replace its content or its protection.
    if (state == FileState::Unreadable ||
        (state == FileState::Read && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)) {
        return false;
    }
    SetValue(text, section, key, value);
    return ReplaceFile(path, text,
                       state == FileState::Read ? std::optional<mode_t>(mode) : std::nullopt);
}

}  // namespace platform
