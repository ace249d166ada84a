#include "console/console.h"

namespace gsadmin {
namespace {

void writeLine(std::FILE* stream, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

void StdioConsole::line(std::string_view text) {
  writeLine(out_, text);
}

void StdioConsole::errorLine(std::string_view text) {
  writeLine(err_, text);
}

Console& standardConsole() {
  static StdioConsole console;
  return console;
}

std::string_view untilNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

}  // namespace gsadmin
