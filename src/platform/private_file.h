#ifndef GSADMIN_PLATFORM_PRIVATE_FILE_H_
#define GSADMIN_PLATFORM_PRIVATE_FILE_H_

#include <cstddef>
#include <optional>
#include <string>

namespace gsadmin {

// Up to `capacity` bytes from the start of a file that holds secrets (a
// password, password hashes). Refused, with a one-line reason in *error,
// when the file cannot be opened, is a symbolic link or not a regular file
// (a FIFO would block the start), or is readable by group or others (it
// would leak what it holds). The mode checked is that of the file actually
// opened.
std::optional<std::string> readPrivateFile(const std::string& path, size_t capacity,
                                           std::string* error);

// Replaces the file at `path` with `content`, readable by its owner alone:
// written to a new file beside it, flushed, then renamed over it, so that
// a reader sees the old file or the new, never a part. Refused, with a
// one-line reason in *error, when `path` is a symbolic link or not a
// regular file; a missing file is made.
bool writePrivateFile(const std::string& path, const std::string& content, std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_PRIVATE_FILE_H_
