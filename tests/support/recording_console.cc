#include "support/recording_console.h"

#include <utility>

namespace gsadmin::testing {

void RecordingConsole::line(std::string_view text) {
  output_.append(text);
  output_.push_back('\n');
  if (other_) other_->line(text);
}

void RecordingConsole::errorLine(std::string_view text) {
  errors_.append(text);
  errors_.push_back('\n');
  if (other_) other_->errorLine(text);
}

void RecordingConsole::entry(const LogEntry& entry) {
  output_.append(entry.text);
  output_.push_back('\n');
  if (other_) other_->entry(entry);
}

std::string RecordingConsole::takeOutput() {
  return std::exchange(output_, std::string());
}

std::string RecordingConsole::takeErrors() {
  return std::exchange(errors_, std::string());
}

void RecordingSink::send(const uint8_t* data, size_t length) {
  sent_.emplace_back(data, data + length);
}

std::vector<std::vector<uint8_t>> RecordingSink::take() {
  return std::exchange(sent_, {});
}

}  // namespace gsadmin::testing
