#ifndef GSADMIN_PANEL_USER_ROLES_H_
#define GSADMIN_PANEL_USER_ROLES_H_

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "moderation/act_grants.h"

namespace gsadmin {

// The roles of a users file, by name.
using RoleBook = std::map<std::string, std::shared_ptr<const ActGrants>>;

// The role of a "role NAME PERM,PERM,... [SERVER,SERVER,...]" line, split
// into `fields` (the first is "role"). A PERM is an act of the panel's
// actions, its spaces written as '-' ("kick", "ban-reason", "command"),
// "tempban:DURATION" for tempbans up to that length, "read:NAME" for a read
// ("read:audit", "read:report-show") or "read:*" for all. Nothing, with the
// reason, for anything else, or a NAME that is a level's ("moderator",
// "admin", "senior", "operator" or a digit).
std::optional<ActGrants> parseRole(const std::vector<std::string_view>& fields,
                                   std::string* reason);

// The level an account of a role acts with where a level still counts
// (against admins in game): the operator's with "command", else senior.
int levelOfRole(const ActGrants& grants);

// The built-in roles: the four levels by number or name; 0 for another word.
int builtInLevel(std::string_view word);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_USER_ROLES_H_
