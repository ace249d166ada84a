#include "panel/console_ring.h"

namespace gsadmin {

void ConsoleRing::stampWith(Clock* clock) {
  clock_ = clock;
}

void ConsoleRing::append(std::string_view text, bool error) {
  int64_t time = clock_ != nullptr ? clock_->wallSeconds() : 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lines_.size() >= kCapacity) lines_.pop_front();
    lines_.push_back(
        ConsoleEntry{++lastSeq_, std::string(text.substr(0, kMaxLineBytes)), error, time});
  }
  signal_->notify();
}

std::vector<ConsoleEntry> ConsoleRing::since(uint64_t seq, size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ConsoleEntry> result;
  if (lines_.empty() || seq >= lastSeq_) return result;
  uint64_t first = lines_.front().seq;
  size_t start = seq < first ? 0 : static_cast<size_t>(seq + 1 - first);
  for (size_t i = start; i < lines_.size() && result.size() < count; ++i) {
    result.push_back(lines_[i]);
  }
  return result;
}

uint64_t ConsoleRing::lastSeq() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastSeq_;
}

void RingConsole::line(std::string_view text) {
  inner_->line(text);
  ring_->append(text, false);
}

void RingConsole::entry(const LogEntry& entry) {
  inner_->entry(entry);
  ring_->append(entry.text, false);
}

void RingConsole::errorLine(std::string_view text) {
  inner_->errorLine(text);
  ring_->append(text, true);
}

}  // namespace gsadmin
