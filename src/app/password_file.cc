#include "app/password_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace gsadmin {
namespace {

// A password is one short line; anything longer than this is not one.
constexpr size_t kMaxPasswordFileBytes = 4096;

}  // namespace

std::optional<std::string> readPasswordFile(const std::string& path, std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  // The mode of the file actually opened, not of whatever the path names later.
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
  std::string content(kMaxPasswordFileBytes, '\0');
  size_t filled = 0;
  while (filled < content.size()) {
    ssize_t n = read(fd, content.data() + filled, content.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    filled += static_cast<size_t>(n);
  }
  close(fd);
  content.resize(filled);
  std::string password = content.substr(0, content.find('\n'));
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.empty()) {
    *error = path + " has no password on its first line";
    return std::nullopt;
  }
  return password;
}

}  // namespace gsadmin
