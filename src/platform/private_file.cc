#include "platform/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/write_all.h"

namespace gsadmin {
namespace {

// Up to `capacity` bytes from the start of `fd`.
std::string readStart(int fd, size_t capacity) {
  std::string content(capacity, '\0');
  size_t filled = 0;
  while (filled < content.size()) {
    ssize_t n = read(fd, content.data() + filled, content.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    filled += static_cast<size_t>(n);
  }
  content.resize(filled);
  return content;
}

}  // namespace

std::optional<std::string> readPrivateFile(const std::string& path, size_t capacity,
                                           std::string* error) {
  // Non-blocking, so that a FIFO is refused below instead of waiting for a
  // writer forever; a link is refused by the open itself.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    *error = errno == ELOOP ? path + " is a symbolic link"
                            : "cannot open " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    *error = path + " is not a regular file";
    return std::nullopt;
  }
  if ((status.st_mode & (S_IRGRP | S_IROTH)) != 0) {
    close(fd);
    *error = path + " is readable by group or others; make it private (chmod 600)";
    return std::nullopt;
  }
  std::string content = readStart(fd, capacity);
  close(fd);
  return content;
}

bool writePrivateFile(const std::string& path, const std::string& content, std::string* error) {
  struct stat existing {};
  if (lstat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    *error =
        S_ISLNK(existing.st_mode) ? path + " is a symbolic link" : path + " is not a regular file";
    return false;
  }
  std::string temporary = path + ".new-XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);  // 0600, made anew
  if (fd < 0) {
    *error = "cannot write beside " + path + ": " + std::strerror(errno);
    return false;
  }
  bool written = writeAll(fd, content) && fsync(fd) == 0;
  int saved = errno;
  written = close(fd) == 0 && written;
  if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
    if (written) saved = errno;
    unlink(temporary.c_str());
    *error = "cannot write " + path + ": " + std::strerror(saved);
    return false;
  }
  return true;
}

}  // namespace gsadmin
