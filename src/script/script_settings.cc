#include "script/script_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "console/printable.h"

namespace gsadmin {
namespace {

constexpr std::string_view kBlanks = " \t\r\f\v";

std::string_view trim(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

bool isKeyCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.' || c == '-';
}

bool isKey(std::string_view key) {
  if (key.empty()) return false;
  for (char c : key) {
    if (!isKeyCharacter(c)) return false;
  }
  return true;
}

SettingValue valueOf(std::string_view text) {
  SettingValue value;
  value.text.assign(text.data(), text.size());
  if (value.text.empty()) return value;
  const char* start = value.text.c_str();
  char* end = nullptr;
  double number = std::strtod(start, &end);
  // The whole text, and finite: "inf", "nan" and "12abc" stay texts.
  if (end == start + value.text.size() && std::isfinite(number)) {
    value.isNumber = true;
    value.number = number;
  }
  return value;
}

// Why `line` is not a setting, or null when it is one (or is blank or a
// comment, *key then empty).
const char* readLine(std::string_view line, std::string_view* key, std::string_view* value) {
  *key = {};
  line = trim(line);
  if (line.empty() || line.front() == '#') return nullptr;
  size_t equals = line.find('=');
  if (equals == std::string_view::npos) return "expected key = value";
  std::string_view name = trim(line.substr(0, equals));
  std::string_view text = trim(line.substr(equals + 1));
  if (!isKey(name)) return "bad key (letters, digits, '_', '.' and '-')";
  if (name.size() > ScriptSettings::kMaxKeyBytes) return "key too long";
  if (text.size() > ScriptSettings::kMaxValueBytes) return "value too long";
  *key = name;
  *value = text;
  return nullptr;
}

std::string displayName(const std::string& path) {
  return printable(untilNul(path));
}

}  // namespace

void ScriptSettings::parse(std::string_view text, std::string_view fileName, Console& console) {
  size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    std::string_view key;
    std::string_view value;
    if (const char* why = readLine(line, &key, &value)) {
      console.errorLine(
          printable(std::string(fileName) + ":" + std::to_string(lineNumber) + ": " + why));
      continue;
    }
    if (key.empty()) continue;
    auto found = values_.find(key);
    if (found != values_.end()) {
      found->second = valueOf(value);
    } else {
      values_.emplace(std::string(key), valueOf(value));
    }
  }
}

const SettingValue* ScriptSettings::find(std::string_view key) const {
  auto found = values_.find(key);
  return found == values_.end() ? nullptr : &found->second;
}

std::string settingsPathForScript(const std::string& scriptPath) {
  constexpr std::string_view kScriptSuffix = ".lua";
  std::string_view path = scriptPath;
  size_t slash = path.rfind('/');
  size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  if (path.size() - nameStart > kScriptSuffix.size() && path.ends_with(kScriptSuffix)) {
    path.remove_suffix(kScriptSuffix.size());
  }
  return std::string(path) + ".conf";
}

ScriptSettings loadScriptSettings(const std::string& scriptPath, Console& console) {
  ScriptSettings settings;
  std::string path = settingsPathForScript(scriptPath);
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return settings;
    const char* why = errno == ELOOP ? "a symbolic link, not read" : std::strerror(errno);
    console.errorLine(displayName(path) + ": " + why);
    return settings;
  }
  struct stat info {};
  std::string text;
  const char* why = nullptr;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    why = "not a regular file, not read";
  } else {
    // One byte more than allowed tells a file that is too large.
    text.resize(ScriptSettings::kMaxFileBytes + 1);
    size_t size = 0;
    ssize_t got = 0;
    while (size < text.size() && (got = read(fd, text.data() + size, text.size() - size)) > 0) {
      size += static_cast<size_t>(got);
    }
    if (got < 0) why = "cannot be read";
    text.resize(size);
    if (size > ScriptSettings::kMaxFileBytes) why = "larger than 65536 bytes, not read";
  }
  close(fd);
  if (why != nullptr) {
    console.errorLine(displayName(path) + ": " + why);
    return settings;
  }
  settings.parse(text, displayName(path), console);
  return settings;
}

}  // namespace gsadmin
