#include "console/history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <string>

#include "console/line_reader.h"
#include "platform/write_all.h"

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

// Creates a new file named after `path` in its directory, never opening
// one that exists or a link: another client saving at the same time, or a
// link planted there, makes it try the next name. Its descriptor, or -1
// with errno set; *name is the name used last.
int createTemporaryBeside(const std::string& path, std::string* name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    int fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
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

bool loadHistoryFile(const std::string& path, size_t limit, std::vector<std::string>* lines,
                     std::string* error) {
  lines->clear();
  // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) return true;
  if (fd < 0) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    *error = path + " is not a regular file";
    return false;
  }
  std::deque<std::string> kept;
  LineReader reader(fd);
  while (!reader.atEnd()) {
    for (InputLine& line : reader.readAvailable()) {
      if (line.text.empty() || limit == 0) continue;
      kept.push_back(std::move(line.text));
      if (kept.size() > limit) kept.pop_front();
    }
  }
  ::close(fd);
  lines->assign(kept.begin(), kept.end());
  return true;
}

bool saveHistoryFile(const std::string& path, const std::vector<std::string>& lines,
                     std::string* error) {
  if (!makeParentDirectories(path, error)) return false;
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    *error = "not replacing " + path + ": not a regular file";
    return false;
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\n";

  // Written beside the old file and renamed over it, so a crash never leaves
  // half a history; created 0600 so no other user ever sees its contents.
  std::string temporary;
  int fd = createTemporaryBeside(path, &temporary);
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
