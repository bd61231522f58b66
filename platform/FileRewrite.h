#pragma once

#include <sys/stat.h>

#include <string>

namespace platform {

// The file that `path` names once its symbolic links are followed, so that a
// write changes the link's target and never replaces the link itself. A link
// whose target does not exist yet names that target. False, with the reason,
// when the links run in a circle or too deep.
bool ResolveLinks(const std::string& path, std::string& target, std::string& reason);

// Gives the file at `path` (a regular file or none; links already resolved)
// the content `text`, so that a failure leaves the old content whole wherever
// the system allows it:
// - a file that exists with more than one hard link, or one whose owner this
//   process cannot give to a new file, or one beside which no temporary file
//   can be made (a directory the process may not write), is rewritten in
//   place: its inode, links, owner and mode stay;
// - otherwise the text goes to a temporary file beside it, which takes the
//   old file's owner and mode and is renamed over it: readers see the old
//   file or the new one, never a part of either.
// `existing` is the file's status, or null when it does not exist yet;
// `oldText` its content, which a failed in-place write puts back. Returns
// false, with the reason, when the new content is not in the file.
bool RewriteFile(const std::string& path, const struct stat* existing, const std::string& oldText,
                 const std::string& text, std::string& reason);

}  // namespace platform
