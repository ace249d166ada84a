#include "console/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace gsadmin {
namespace {

constexpr mode_t kLogFileMode = 0640;

}  // namespace

int openLogDescriptor(const std::string& path, std::string* error) {
  // O_NONBLOCK: a FIFO without a reader refuses at once rather than hold the
  // start; it is cleared again, so a full pipe slows the writer, not drops.
  int fd = ::open(path.c_str(),
                  O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
                  kLogFileMode);
  if (fd < 0) {
    *error = "cannot open " + path + ": " +
             (errno == ELOOP ? std::string("it is a link") : std::strerror(errno));
    return -1;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode))) {
    *error = "cannot use " + path + ": not a regular file or a FIFO";
    ::close(fd);
    return -1;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  // Created under a strict umask or kept from before: the mode it is meant to have.
  if (S_ISREG(info.st_mode) && (info.st_mode & 07777) != kLogFileMode) fchmod(fd, kLogFileMode);
  return fd;
}

std::unique_ptr<LogFile> LogFile::open(const std::string& path, std::string* error,
                                       const volatile std::sig_atomic_t* reopenRequests) {
  int fd = openLogDescriptor(path, error);
  if (fd < 0) return nullptr;
  return std::make_unique<LogFile>(path, fd, reopenRequests);
}

LogFile::LogFile(std::string path, int fd, const volatile std::sig_atomic_t* reopenRequests)
    : path_(std::move(path)), fd_(fd), reopenRequests_(reopenRequests) {
  if (reopenRequests_ != nullptr) seenRequests_ = *reopenRequests_;
}

LogFile::~LogFile() {
  ::close(fd_);
}

std::string LogFile::write(std::string_view text) {
  std::string failure;
  if (reopenRequests_ != nullptr && *reopenRequests_ != seenRequests_) {
    seenRequests_ = *reopenRequests_;
    int fd = openLogDescriptor(path_, &failure);
    if (fd >= 0) {
      ::close(fd_);
      fd_ = fd;
    }
  }
  while (!text.empty()) {
    ssize_t written = ::write(fd_, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    text.remove_prefix(static_cast<size_t>(written));
  }
  return failure;
}

}  // namespace gsadmin
