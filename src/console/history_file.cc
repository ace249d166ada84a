#include "console/history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <fstream>

namespace gsadmin {
namespace {

// mkdir -p for the directories above `path`; existing ones are left as they are.
bool makeParentDirectories(const std::string& path, std::string* error) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string dir = path.substr(0, slash);
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "cannot create " + dir + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

bool writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::optional<std::string> defaultHistoryPath(const char* xdgStateHome, const char* home) {
  // A relative XDG_STATE_HOME is ignored, as every XDG directory variable is.
  if (xdgStateHome != nullptr && xdgStateHome[0] == '/') {
    return std::string(xdgStateHome) + "/gsadmin/history";
  }
  if (home != nullptr && home[0] != '\0') {
    return std::string(home) + "/.local/state/gsadmin/history";
  }
  return std::nullopt;
}

std::vector<std::string> loadHistoryFile(const std::string& path, size_t limit) {
  std::deque<std::string> kept;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (limit > 0 && std::getline(in, line)) {
    if (line.empty()) continue;
    kept.push_back(std::move(line));
    if (kept.size() > limit) kept.pop_front();
  }
  return {kept.begin(), kept.end()};
}

bool saveHistoryFile(const std::string& path, const std::vector<std::string>& lines,
                     std::string* error) {
  if (!makeParentDirectories(path, error)) return false;
  std::string text;
  for (const std::string& line : lines) text += line + "\n";

  // Written beside the old file and renamed over it, so a crash never leaves
  // half a history; created 0600 so no other user ever sees its contents.
  std::string temporary = path + ".tmp";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = "cannot write " + temporary + ": " + std::strerror(errno);
    return false;
  }
  bool ok = fchmod(fd, 0600) == 0 && writeAll(fd, text);
  int savedErrno = errno;
  if (::close(fd) != 0) ok = false;
  if (ok && rename(temporary.c_str(), path.c_str()) == 0) return true;
  if (ok) savedErrno = errno;
  *error = "cannot write " + path + ": " + std::strerror(savedErrno);
  unlink(temporary.c_str());
  return false;
}

}  // namespace gsadmin
