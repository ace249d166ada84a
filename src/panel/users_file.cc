#include "panel/users_file.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "moderation/actor.h"
#include "panel/password_hash.h"
#include "platform/private_file.h"

namespace gsadmin {
namespace {

constexpr size_t kMaxUsersFileBytes = 1024 * 1024;
constexpr size_t kMaxNameBytes = 32;

bool isAccountName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameBytes) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-';
  });
}

std::vector<std::string_view> fieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t at = 0;
  while (at < line.size()) {
    size_t start = line.find_first_not_of(" \t", at);
    if (start == std::string_view::npos) break;
    size_t end = line.find_first_of(" \t", start);
    if (end == std::string_view::npos) end = line.size();
    fields.push_back(line.substr(start, end - start));
    at = end;
  }
  return fields;
}

std::string lowered(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

// The account of one line, or the reason it is refused.
std::optional<PanelAccount> accountOf(std::string_view line, std::string* reason) {
  std::vector<std::string_view> fields = fieldsOf(line);
  if (fields.size() != 3) {
    *reason = "expected NAME LEVEL HASH";
    return std::nullopt;
  }
  if (!isAccountName(fields[0])) {
    *reason = "a name is 1 to 32 letters, digits, '_', '.' or '-'";
    return std::nullopt;
  }
  if (fields[1].size() != 1 || fields[1][0] < '0' + kModeratorLevel ||
      fields[1][0] > '0' + kOperatorLevel) {
    *reason = "a level is 1 to 4";
    return std::nullopt;
  }
  if (!isPasswordHash(fields[2])) {
    *reason = "not a hash made by gsadmin --hash-password";
    return std::nullopt;
  }
  return PanelAccount{std::string(fields[0]), fields[1][0] - '0', std::string(fields[2])};
}

}  // namespace

std::optional<std::vector<PanelAccount>> parseUsers(std::string_view text, std::string* error) {
  std::vector<PanelAccount> accounts;
  std::set<std::string> names;
  size_t number = 0;
  while (!text.empty()) {
    ++number;
    size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') continue;
    std::string reason;
    std::optional<PanelAccount> account = accountOf(line, &reason);
    if (account && !names.insert(lowered(account->name)).second) reason = "a name given twice";
    if (!reason.empty()) {
      *error = "line " + std::to_string(number) + ": " + reason;
      return std::nullopt;
    }
    accounts.push_back(std::move(*account));
  }
  if (accounts.empty()) {
    *error = "no account";
    return std::nullopt;
  }
  return accounts;
}

std::optional<std::vector<PanelAccount>> readUsersFile(const std::string& path,
                                                       std::string* error) {
  std::optional<std::string> content = readPrivateFile(path, kMaxUsersFileBytes + 1, error);
  if (!content) return std::nullopt;
  if (content->size() > kMaxUsersFileBytes) {
    *error = path + " is larger than 1 MiB";
    return std::nullopt;
  }
  std::string reason;
  std::optional<std::vector<PanelAccount>> accounts = parseUsers(*content, &reason);
  if (!accounts) *error = path + ": " + reason;
  return accounts;
}

std::string usersFileLine(const PanelAccount& account) {
  return account.name + " " + std::to_string(account.level) + " " + account.hash;
}

}  // namespace gsadmin
