#ifndef GSADMIN_PLATFORM_REGULAR_FILE_H_
#define GSADMIN_PLATFORM_REGULAR_FILE_H_

#include <cstddef>
#include <optional>
#include <string>

namespace gsadmin {

// Opens `path` for reading without following a symbolic link and without
// blocking on a FIFO; refused unless it is a regular file. The descriptor
// (close-on-exec, blocking again), or -1 with a one-line reason in *error.
int openRegularFile(const std::string& path, std::string* error);

// Up to `capacity` + 1 bytes from the start of the regular file `path`
// (opened as openRegularFile does), so that a caller sees a file over its
// cap; nothing, with a one-line reason in *error, when it cannot be read.
std::optional<std::string> readRegularFile(const std::string& path, size_t capacity,
                                           std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_REGULAR_FILE_H_
