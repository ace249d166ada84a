#include "panel/user_roles.h"

#include <algorithm>
#include <cctype>

#include "base/durations.h"
#include "commands/act.h"

namespace gsadmin {
namespace {

constexpr size_t kMaxRoleNameBytes = 32;

std::vector<std::string_view> commaList(std::string_view text) {
  std::vector<std::string_view> items;
  while (true) {
    size_t comma = text.find(',');
    items.push_back(text.substr(0, comma));
    if (comma == std::string_view::npos) return items;
    text = text.substr(comma + 1);
  }
}

// The name of the act a PERM names: "ban-reason" is "ban reason".
std::string actNameOf(std::string_view perm) {
  std::string name(perm);
  std::replace(name.begin(), name.end(), '-', ' ');
  return name;
}

// The act a PERM names, if the panel has it.
const Act* permittedAct(std::string_view perm) {
  const Act* act = findAct(actNameOf(perm));
  return act != nullptr && (act->doors & kPanelDoor) != 0 ? act : nullptr;
}

// "read:NAME" names a read of the table ("read:report-show"); "read:*"
// every read.
bool takeRead(std::string_view what, ActGrants& grants) {
  std::string name = actNameOf(what);
  bool found = false;
  for (const Act& act : allActs()) {
    if (!act.read || (name != "*" && name != act.name)) continue;
    grants.acts.insert(act.name);
    found = true;
  }
  return found;
}

bool takePerm(std::string_view perm, ActGrants& grants) {
  if (perm.starts_with("read:")) return takeRead(perm.substr(5), grants);
  if (perm.starts_with("tempban:")) {
    std::optional<int64_t> longest = parseDuration(perm.substr(8));
    if (!longest) return false;
    grants.acts.insert("tempban");
    grants.maxTempbanSeconds = *longest;
    return true;
  }
  const Act* act = permittedAct(perm);
  if (act != nullptr && act->read) return false;  // a read is named "read:NAME"
  if (act == nullptr && perm != "command") return false;
  grants.acts.insert(act != nullptr ? act->name : "command");
  return true;
}

bool isRoleName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxRoleNameBytes &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
         });
}

}  // namespace

int builtInLevel(std::string_view word) {
  static constexpr std::string_view kNames[] = {"moderator", "admin", "senior", "operator"};
  for (int level = kModeratorLevel; level <= kOperatorLevel; ++level) {
    if (word == kNames[level - 1] || word == std::to_string(level)) return level;
  }
  return 0;
}

std::optional<ActGrants> parseRole(const std::vector<std::string_view>& fields,
                                   std::string* reason) {
  if (fields.size() < 3 || fields.size() > 4) {
    *reason = "expected role NAME PERM,PERM,... [SERVER,SERVER,...]";
    return std::nullopt;
  }
  if (!isRoleName(fields[1]) || builtInLevel(fields[1]) != 0) {
    *reason = "a role's name is 1 to 32 letters, digits, '_' or '-', and not a level's";
    return std::nullopt;
  }
  ActGrants grants;
  grants.role = std::string(fields[1]);
  for (std::string_view perm : commaList(fields[2])) {
    if (!takePerm(perm, grants)) {
      const Act* act = findAct(actNameOf(perm));
      *reason = "role " + grants.role + ": " +
                (act != nullptr && act->read ? "a read is written 'read:" + std::string(perm) + "'"
                                             : "no act is named '" + std::string(perm) + "'");
      return std::nullopt;
    }
  }
  if (fields.size() == 4) {
    for (std::string_view server : commaList(fields[3])) {
      if (server.empty()) {
        *reason = "role " + grants.role + ": an empty server name";
        return std::nullopt;
      }
      grants.servers.emplace_back(server);
    }
  }
  return grants;
}

int levelOfRole(const ActGrants& grants) {
  return grants.allows("command") ? kOperatorLevel : kSeniorLevel;
}

}  // namespace gsadmin
