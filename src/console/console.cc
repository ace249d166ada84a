#include "console/console.h"

#include <unistd.h>

#include <ctime>
#include <string>

#include "console/terminal_input.h"
#include "console/timestamp.h"

namespace gsadmin {
namespace {

void writeLine(std::FILE* stream, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

void StdioConsole::line(std::string_view text) {
  write(out_, text);
}

void StdioConsole::errorLine(std::string_view text) {
  write(err_, text);
}

void StdioConsole::write(std::FILE* stream, std::string_view text) {
  std::string stamped;
  if (timestamps_) {
    stamped = localTimestampPrefix(std::time(nullptr));
    stamped.append(text);
    text = stamped;
  }
  bool toTerminal = terminal_ != nullptr && (stream == out_ || isatty(fileno(stream)) != 0);
  if (toTerminal) {
    terminal_->printAbove(text);
  } else {
    writeLine(stream, text);
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
