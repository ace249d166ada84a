#include "console/console.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <string>

#include "console/json_log.h"
#include "console/log_file.h"
#include "console/terminal_input.h"
#include "console/timestamp.h"

namespace gsadmin {
namespace {

constexpr size_t kMostKeptJsonBytes = 64 * 1024;

void writeLine(std::FILE* stream, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

StdioConsole::StdioConsole(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

StdioConsole::~StdioConsole() = default;

void StdioConsole::setLogFile(std::unique_ptr<LogFile> file) {
  logFile_ = std::move(file);
}

void StdioConsole::line(std::string_view text) {
  emit(out_, LogEntry(logKindOfLine(text), text));
}

void StdioConsole::errorLine(std::string_view text) {
  emit(err_, LogEntry(logKindOfErrorLine(text), text));
}

void StdioConsole::entry(const LogEntry& entry) {
  emit(out_, entry);
}

// The JSON is formatted once for both the stream and the file.
void StdioConsole::emit(std::FILE* stream, const LogEntry& entry) {
  reportDropped();
  if (format_ == LogFormat::kText && !logFile_) {
    write(stream, entry.text);
    return;
  }
  int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  size_t length = formatter_.write(entry, nowMs, json_);
  std::string_view json(json_.data(), length);
  if (logFile_) {
    std::string failure = logFile_->write(json);
    if (!failure.empty()) {
      // Said on the streams only: the old file takes the lines meanwhile.
      std::string text = "gsadmin: --log-file: " + failure;
      LogEntry error(LogKind::kError, text);
      if (format_ == LogFormat::kText) {
        write(err_, text);
      } else {
        std::string line;
        formatter_.append(error, nowMs, line);
        write(err_, std::string_view(line).substr(0, line.size() - 1), false);
      }
    }
  }
  if (format_ == LogFormat::kText) {
    write(stream, entry.text);
  } else {
    write(stream, json.substr(0, json.size() - 1), false);
  }
  // A script's one huge print does not keep its room for good.
  if (json_.size() > kMostKeptJsonBytes) std::string().swap(json_);
}

void StdioConsole::reportDropped() {
  uint64_t dropped = outlet_.takeDropped();
  if (dropped == 0) return;
  emit(err_, LogEntry(LogKind::kError, "gsadmin: " + std::to_string(dropped) +
                                           " console lines dropped: their reader fell behind"));
}

void StdioConsole::write(std::FILE* stream, std::string_view text, bool stampable) {
  std::string stamped;
  if (timestamps_ && stampable) {
    stamped = localTimestampPrefix(std::time(nullptr));
    stamped.append(text);
    text = stamped;
  }
  int fd = fileno(stream);
  bool toTerminal = terminal_ != nullptr && (stream == out_ || isatty(fd) != 0);
  if (toTerminal) {
    terminal_->printAbove(text);
  } else if (fd < 0) {
    writeLine(stream, text);
  } else {
    std::fflush(stream);  // what stdio still holds goes first
    outlet_.write(fd, text);
  }
}

Console& standardConsole() {
  static StdioConsole console;
  return console;
}

std::string_view untilNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

}  // namespace gsadmin
