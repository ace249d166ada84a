#include "app/config_file.h"

#include <optional>
#include <string>

#include "platform/regular_file.h"

namespace gsadmin {
namespace {

constexpr size_t kMaxConfigBytes = 64 * 1024;

std::string_view trimmed(std::string_view text) {
  const char* blanks = " \t\r";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// Applies one line that is neither blank nor a comment; empty on success.
std::string applyLine(std::string_view line, Options& options) {
  if (line.find('\0') != std::string_view::npos) return "a NUL byte in the line";
  std::optional<std::string_view> value;
  size_t equals = line.find('=');
  std::string_view key = trimmed(line.substr(0, equals));
  if (equals != std::string_view::npos) value = trimmed(line.substr(equals + 1));
  std::string shown(key);
  // --enroll-totp replaces a secret: from a file it would at every start.
  if (key == "help" || key == "version" || key == "config" || key == "enroll-totp") {
    return "'" + shown + "' cannot be set in a configuration file";
  }
  if (!isOption(key)) return "unknown key '" + shown + "'";
  std::string refusal = setOption(key, value, true, options);
  if (!refusal.empty()) return shown + " " + refusal;
  return "";
}

}  // namespace

std::string applyConfigText(std::string_view text, Options& options) {
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    size_t end = text.find('\n');
    std::string_view line = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line[0] == '#') continue;
    std::string refusal = applyLine(line, options);
    if (!refusal.empty()) return std::to_string(lineNumber) + ": " + refusal;
  }
  return "";
}

std::string readConfigFile(const std::string& path, Options& options) {
  // One byte more than allowed, so that a file over the cap shows.
  std::string error;
  std::optional<std::string> text = readRegularFile(path, kMaxConfigBytes, &error);
  if (!text) return error;
  if (text->size() > kMaxConfigBytes) {
    return path + " is larger than " + std::to_string(kMaxConfigBytes) + " bytes";
  }
  std::string refusal = applyConfigText(*text, options);
  if (!refusal.empty()) return path + ":" + refusal;
  return "";
}

}  // namespace gsadmin
