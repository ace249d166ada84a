#include "app/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

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
  if (key == "help" || key == "version" || key == "config") {
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
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    return errno == ELOOP ? path + " is a symbolic link"
                          : "cannot open " + path + ": " + std::strerror(errno);
  }
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    return path + " is not a regular file";
  }
  // One byte more than allowed, so that a file over the cap shows.
  std::string text(kMaxConfigBytes + 1, '\0');
  size_t filled = 0;
  while (filled < text.size()) {
    ssize_t n = read(fd, text.data() + filled, text.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return "cannot read " + path + ": " + std::strerror(errno);
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  close(fd);
  if (filled > kMaxConfigBytes) {
    return path + " is larger than " + std::to_string(kMaxConfigBytes) + " bytes";
  }
  text.resize(filled);
  std::string refusal = applyConfigText(text, options);
  if (!refusal.empty()) return path + ":" + refusal;
  return "";
}

}  // namespace gsadmin
