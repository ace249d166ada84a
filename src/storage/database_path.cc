#include "storage/database_path.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace gsadmin {

std::optional<std::string> checkDatabasePath(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0) {
    if (S_ISREG(info.st_mode)) return std::nullopt;
    return path + " is not a regular file";
  }
  if (errno != ENOENT) return path + ": " + std::strerror(errno);
  size_t slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (stat(directory.c_str(), &info) != 0) return path + ": " + std::strerror(errno);
  if (!S_ISDIR(info.st_mode)) return path + ": " + std::strerror(ENOTDIR);
  return std::nullopt;
}

}  // namespace gsadmin
