#include "app/password_file.h"

#include "platform/private_file.h"

namespace gsadmin {
namespace {

// A password is one short line; a longer first line is refused, not cut.
constexpr size_t kMaxPasswordBytes = 4096;

}  // namespace

std::optional<std::string> readPasswordFile(const std::string& path, std::string* error) {
  // Room for the longest password and its "\r\n", so a longer line shows.
  std::optional<std::string> content = readPrivateFile(path, kMaxPasswordBytes + 2, error);
  if (!content) return std::nullopt;
  size_t newline = content->find('\n');
  std::string password = content->substr(0, newline);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.size() > kMaxPasswordBytes) {
    *error = path + " has a first line longer than " + std::to_string(kMaxPasswordBytes) + " bytes";
    return std::nullopt;
  }
  if (password.empty()) {
    *error = path + " has no password on its first line";
    return std::nullopt;
  }
  return password;
}

}  // namespace gsadmin
