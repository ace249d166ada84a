#include "support/stdout_capture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace gsadmin::testing {

StdoutCapture::StdoutCapture() {
  std::fflush(stdout);
  char path[] = "/tmp/gsadmin-stdout-XXXXXX";
  fileFd_ = mkostemp(path, O_CLOEXEC);
  if (fileFd_ < 0) std::abort();
  unlink(path);
  savedFd_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
  dup2(fileFd_, STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture() {
  std::fflush(stdout);
  dup2(savedFd_, STDOUT_FILENO);
  close(savedFd_);
  close(fileFd_);
}

std::string StdoutCapture::take() {
  std::fflush(stdout);
  std::string text;
  char buffer[4096];
  for (;;) {
    ssize_t n = pread(fileFd_, buffer, sizeof(buffer), offset_);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    offset_ += n;
  }
  return text;
}

}  // namespace gsadmin::testing
