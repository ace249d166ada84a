#include "panel/users_file.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "moderation/actor.h"
#include "panel/password_hash.h"
#include "panel/recovery_codes.h"
#include "panel/totp.h"
#include "panel/user_roles.h"
#include "platform/private_file.h"

namespace gsadmin {
namespace {

constexpr size_t kMaxAccountNameBytes = 32;

bool isAccountName(std::string_view name) {
  if (name.empty() || name.size() > kMaxAccountNameBytes) return false;
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

constexpr size_t kMinSecretBytes = 10;

// Takes "totp=SECRET" or "recovery=S:HASH" into `account`; false, with the
// reason, for anything else.
bool takeField(std::string_view field, PanelAccount& account, std::string* reason) {
  if (field.starts_with("totp=")) {
    std::optional<std::string> key = base32Decode(field.substr(5));
    if (account.totpSecret || !key || key->size() < kMinSecretBytes) {
      *reason = "totp= takes one base32 secret of 10 to 64 bytes";
      return false;
    }
    account.totpSecret = std::string(field.substr(5));
    return true;
  }
  if (field.starts_with("recovery=")) {
    std::string_view value = field.substr(9);
    int slot = value.size() > 2 && value[1] == ':' ? value[0] - '0' : -1;
    bool taken = std::any_of(account.recovery.begin(), account.recovery.end(),
                             [slot](const RecoveryHash& r) { return r.slot == slot; });
    if (slot < 0 || slot >= kRecoveryCodes || taken || !isPasswordHash(value.substr(2))) {
      *reason = "recovery= takes a slot 0 to 9, once, a colon and a hash";
      return false;
    }
    account.recovery.push_back({slot, std::string(value.substr(2))});
    return true;
  }
  *reason = "expected NAME LEVEL HASH, then totp=SECRET and recovery=S:HASH fields";
  return false;
}

// The account of one line, its role among `roles`, or the reason it is
// refused.
std::optional<PanelAccount> accountOf(std::string_view line, const RoleBook& roles,
                                      std::string* reason) {
  std::vector<std::string_view> fields = fieldsOf(line);
  if (fields.size() < 3) {
    *reason = "expected NAME LEVEL HASH";
    return std::nullopt;
  }
  if (!isAccountName(fields[0]) || fields[0] == "role") {
    *reason = "a name is 1 to 32 letters, digits, '_', '.' or '-'";
    return std::nullopt;
  }
  auto role = roles.find(std::string(fields[1]));
  if (builtInLevel(fields[1]) == 0 && role == roles.end()) {
    *reason = "a level is 1 to 4, or a role of the file";
    return std::nullopt;
  }
  if (!isPasswordHash(fields[2])) {
    *reason = "not a hash made by gsadmin --hash-password";
    return std::nullopt;
  }
  PanelAccount account;
  account.name = std::string(fields[0]);
  account.level = builtInLevel(fields[1]);
  if (account.level == 0) {
    account.role = role->first;
    account.grants = role->second;
    account.level = levelOfRole(*role->second);
  }
  account.hash = std::string(fields[2]);
  for (size_t i = 3; i < fields.size(); ++i) {
    if (!takeField(fields[i], account, reason)) return std::nullopt;
  }
  return account;
}

// The lines of `text`, each without its line break.
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t newline = text.find('\n');
    lines.push_back(text.substr(0, newline));
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
  }
  return lines;
}

// The roles of the file's "role" lines; nothing, with the reason of the
// first bad one in *error.
std::optional<RoleBook> rolesOf(std::string_view text, std::string* error) {
  RoleBook roles;
  size_t number = 0;
  for (std::string_view line : linesOf(text)) {
    ++number;
    std::vector<std::string_view> fields = fieldsOf(line);
    if (fields.empty() || fields[0] != "role") continue;
    std::string reason;
    std::optional<ActGrants> role = parseRole(fields, &reason);
    if (role && roles.count(role->role) != 0) reason = "a role given twice";
    if (!reason.empty()) {
      *error = "line " + std::to_string(number) + ": " + reason;
      return std::nullopt;
    }
    std::string name = role->role;
    roles[name] = std::make_shared<const ActGrants>(std::move(*role));
  }
  return roles;
}

}  // namespace

std::optional<std::vector<PanelAccount>> parseUsers(std::string_view text, std::string* error) {
  std::optional<RoleBook> roles = rolesOf(text, error);
  if (!roles) return std::nullopt;
  std::vector<PanelAccount> accounts;
  std::set<std::string> names;
  size_t number = 0;
  for (std::string_view line : linesOf(text)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') continue;
    if (fieldsOf(line)[0] == "role") continue;
    std::string reason;
    std::optional<PanelAccount> account = accountOf(line, *roles, &reason);
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
  std::string role = account.role.empty() ? std::to_string(account.level) : account.role;
  std::string line = account.name + " " + role + " " + account.hash;
  if (account.totpSecret) line += " totp=" + *account.totpSecret;
  for (const RecoveryHash& code : account.recovery) {
    line += " recovery=" + std::to_string(code.slot) + ":" + code.hash;
  }
  return line;
}

std::optional<std::string> withAccountLine(std::string_view text, std::string_view name,
                                           std::string_view line) {
  std::string result;
  bool found = false;
  for (std::string_view old : linesOf(text)) {
    std::vector<std::string_view> fields = fieldsOf(old);
    bool ours = !old.starts_with("#") && !fields.empty() && fields[0] == name;
    if (ours && !found) {
      result += line;
      if (old.ends_with('\r')) result += '\r';
    } else {
      result += old;
    }
    found = found || ours;
    result += '\n';
  }
  if (!found) return std::nullopt;
  return result;
}

}  // namespace gsadmin
