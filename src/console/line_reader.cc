#include "console/line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace gsadmin {
namespace {

void dropCarriageReturn(std::string* line) {
  if (!line->empty() && line->back() == '\r') line->pop_back();
}

}  // namespace

std::vector<InputLine> LineReader::readAvailable() {
  if (atEnd_) return {};
  char buffer[16 * 1024];
  ssize_t n = read(fd_, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return {};
  if (n <= 0) return accept({}, true);
  return accept(std::string_view(buffer, static_cast<size_t>(n)), false);
}

std::vector<InputLine> LineReader::accept(std::string_view bytes, bool endOfInput) {
  std::vector<InputLine> lines;
  if (atEnd_) return lines;
  for (char c : bytes) {
    if (c == '\n') {
      dropCarriageReturn(&partial_);
      if (!discarding_) lines.push_back({std::move(partial_), {}, std::nullopt});
      partial_.clear();
      discarding_ = false;
      continue;
    }
    if (discarding_) continue;
    if (partial_.size() >= kMaxLineBytes) {
      // Its tail must never run as a line of its own.
      partial_.clear();
      discarding_ = true;
      lines.push_back({{},
                       "line too long (over " + std::to_string(kMaxLineBytes) + " bytes): ignored",
                       std::nullopt});
      continue;
    }
    partial_.push_back(c);
  }
  if (endOfInput) {
    atEnd_ = true;
    dropCarriageReturn(&partial_);
    if (!partial_.empty()) lines.push_back({std::move(partial_), {}, std::nullopt});
    partial_.clear();
  }
  return lines;
}

}  // namespace gsadmin
