#include "platform/FileRewrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

namespace platform {
namespace {

constexpr int kMaxLinkDepth = 40;

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

bool Fail(std::string& reason, const std::string& what, int error) {
    reason = what + ": " + ErrorText(error);
    return false;
}

bool WriteAllAt(int fd, const std::string& text, off_t offset) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::pwrite(fd, text.data() + written, text.size() - written,
                                   offset + static_cast<off_t>(written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename is durable once the directory is: best effort, as a directory
// that cannot be opened for this still holds the renamed file.
void SyncDirectory(const std::string& path) {
    const int fd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

enum class Replaced { Yes, NotPossible, Failed };

// A new file beside `path` that takes the old file's owner and mode, written
// whole and synced, then renamed over `path`. NotPossible when the temporary
// file cannot be made or given the old owner, or may not take the old file's
// place: the caller writes in place then.
Replaced ReplaceFile(const std::string& path, const struct stat* existing, const std::string& text,
                     std::string& reason) {
    static std::atomic<unsigned> counter{0};
    const std::string temp =
        path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        Fail(reason, "cannot create a file in its directory", errno);
        return Replaced::NotPossible;
    }
    Replaced result = Replaced::Yes;
    struct stat made;
    // The owner first: changing it may clear the set-id bits of the mode.
    if (existing != nullptr &&
        (::fstat(fd, &made) != 0 ||
         ((made.st_uid != existing->st_uid || made.st_gid != existing->st_gid) &&
          ::fchown(fd, existing->st_uid, existing->st_gid) != 0) ||
         ::fchmod(fd, existing->st_mode & 07777) != 0)) {
        Fail(reason, "cannot give a new file the owner and mode of the old", errno);
        result = Replaced::NotPossible;
    } else if (!WriteAllAt(fd, text, 0) || ::fsync(fd) != 0) {
        Fail(reason, "cannot write", errno);
        result = Replaced::Failed;
    }
    if (::close(fd) != 0 && result == Replaced::Yes) {
        Fail(reason, "cannot write", errno);
        result = Replaced::Failed;
    }
    if (result == Replaced::Yes && ::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        Fail(reason, "cannot replace it", error);
        result = error == EACCES || error == EPERM ? Replaced::NotPossible : Replaced::Failed;
    }
    if (result != Replaced::Yes) {
        ::unlink(temp.c_str());
        return result;
    }
    SyncDirectory(path);
    return result;
}

// Writes over the existing file, keeping its inode, links, owner and mode.
// The room for a longer text is reserved before the first byte changes, so a
// full disk or a file-size limit fails with the old content whole. What
// remains is an I/O error or a crash in the middle of the write: the file may
// then hold new content followed by old; after an I/O error the old content
// is written back, as far as the device still takes it.
bool WriteInPlace(const std::string& path, const std::string& oldText, const std::string& text,
                  std::string& reason) {
    // Opened without waiting and without following a link, then checked: what
    // was read a moment ago may have been swapped for a pipe or a link since.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return Fail(reason, "cannot open it for writing", errno);
    }
    struct stat opened;
    const int openedError = ::fstat(fd, &opened) != 0 ? errno
                            : S_ISREG(opened.st_mode) ? 0
                                                      : EISDIR;
    if (openedError != 0) {
        ::close(fd);
        return Fail(reason, "cannot open it for writing", openedError);
    }
    const off_t oldSize = static_cast<off_t>(oldText.size());
    const off_t newSize = static_cast<off_t>(text.size());
    if (newSize > oldSize) {
        const int error = ::posix_fallocate(fd, 0, newSize);
        if (error != 0) {
            // An emulated reservation may have grown the file before failing.
            const bool shrunk = ::ftruncate(fd, oldSize) == 0;
            ::close(fd);
            return Fail(reason,
                        shrunk ? "no room for the new content"
                               : "no room for the new content (zeros reserved for it stay at the "
                                 "end of the file)",
                        error);
        }
    }
    int error = 0;
    if (!WriteAllAt(fd, text, 0) || ::ftruncate(fd, newSize) != 0 || ::fsync(fd) != 0) {
        error = errno;
        (void)(WriteAllAt(fd, oldText, 0) && ::ftruncate(fd, oldSize) == 0 && ::fsync(fd) == 0);
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error == 0 || Fail(reason, "cannot write", error);
}

}  // namespace

bool ResolveLinks(const std::string& path, std::string& target, std::string& reason) {
    target = path;
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        struct stat info;
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return true;
        }
        char link[4096];
        const ssize_t length = ::readlink(target.c_str(), link, sizeof link);
        if (length < 0 || static_cast<size_t>(length) >= sizeof link) {
            return Fail(reason, "cannot follow its symbolic link",
                        length < 0 ? errno : ENAMETOOLONG);
        }
        const std::string next(link, static_cast<size_t>(length));
        const size_t slash = target.rfind('/');
        const bool absolute = !next.empty() && next[0] == '/';
        if (absolute || slash == std::string::npos) {
            target = next;
        } else {
            target.erase(slash + 1).append(next);
        }
    }
    return Fail(reason, "cannot follow its symbolic link", ELOOP);
}

bool RewriteFile(const std::string& path, const struct stat* existing, const std::string& oldText,
                 const std::string& text, std::string& reason) {
    if (existing == nullptr || existing->st_nlink <= 1) {
        const Replaced replaced = ReplaceFile(path, existing, text, reason);
        if (replaced != Replaced::NotPossible || existing == nullptr) {
            return replaced == Replaced::Yes;
        }
    }
    return WriteInPlace(path, oldText, text, reason);
}

}  // namespace platform
