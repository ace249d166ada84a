#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace gsadmin {

int openRegularFile(const std::string& path, std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    *error = errno == ELOOP ? path + " is a symbolic link"
                            : "cannot open " + path + ": " + std::strerror(errno);
    return -1;
  }
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    *error = path + " is not a regular file";
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

std::optional<std::string> readRegularFile(const std::string& path, size_t capacity,
                                           std::string* error) {
  int fd = openRegularFile(path, error);
  if (fd < 0) return std::nullopt;
  std::string text(capacity + 1, '\0');
  size_t filled = 0;
  while (filled < text.size()) {
    ssize_t n = read(fd, text.data() + filled, text.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = "cannot read " + path + ": " + std::strerror(errno);
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  close(fd);
  text.resize(filled);
  return text;
}

}  // namespace gsadmin
