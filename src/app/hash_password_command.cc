#include "app/hash_password_command.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "panel/password_hash.h"

namespace gsadmin {
namespace {

// One line from `fd` without its "\n" or "\r\n" (empty at the end of the
// input); nothing when the line is too long.
std::optional<std::string> readLine(int fd) {
  std::string line;
  char c = 0;
  for (;;) {
    ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (c == '\n') break;
    line += c;
    if (line.size() > kMaxPanelPasswordBytes + 1) return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// A line typed at the terminal `fd` without echo, after `prompt` on `err`.
std::optional<std::string> readHidden(int fd, std::FILE* err, const char* prompt) {
  // Echo goes off before the prompt shows, so that nothing typed after it
  // is echoed; TCSANOW keeps what was typed ahead, which TCSAFLUSH drops.
  termios saved{};
  bool hidden = tcgetattr(fd, &saved) == 0;
  if (hidden) {
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    tcsetattr(fd, TCSANOW, &quiet);
  }
  std::fputs(prompt, err);
  std::fflush(err);
  std::optional<std::string> line = readLine(fd);
  if (hidden) tcsetattr(fd, TCSANOW, &saved);
  std::fputs("\n", err);
  return line;
}

}  // namespace

int runHashPassword(int fd, std::FILE* out, std::FILE* err) {
  std::optional<std::string> password;
  if (isatty(fd)) {
    password = readHidden(fd, err, "Password: ");
    std::optional<std::string> again = password ? readHidden(fd, err, "Again: ") : std::nullopt;
    if (password && again != password) {
      std::fputs("gsadmin: --hash-password: the two passwords differ\n", err);
      return 1;
    }
  } else {
    password = readLine(fd);
  }
  std::optional<std::string> hash = password ? hashPassword(*password) : std::nullopt;
  if (!hash) {
    std::fprintf(err, "gsadmin: --hash-password: no password of 1 to %zu bytes on the input\n",
                 kMaxPanelPasswordBytes);
    return 1;
  }
  std::fprintf(out, "%s\n", hash->c_str());
  return 0;
}

}  // namespace gsadmin
