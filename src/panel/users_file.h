#ifndef GSADMIN_PANEL_USERS_FILE_H_
#define GSADMIN_PANEL_USERS_FILE_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// One account of the web panel.
struct PanelAccount {
  std::string name;
  int level = 0;     // a moderation level, kModeratorLevel to kOperatorLevel
  std::string hash;  // an encoded Argon2id hash (see password_hash.h)
};

// The accounts of a users file's text: one a line, "NAME LEVEL HASH"
// separated by spaces or tabs; blank lines and lines starting with '#'
// are skipped. NAME is 1 to 32 letters, digits and "_.-"; LEVEL is 1 to 4.
// Refused, with "line N: reason" in *error, at the first bad line, a name
// given twice (any case), or a file with no account.
std::optional<std::vector<PanelAccount>> parseUsers(std::string_view text, std::string* error);

// parseUsers() of the file at `path`, which is refused as the password
// file is (a link, not a regular file, readable by group or others) and
// when it is larger than 1 MiB. *error is one line naming the file.
std::optional<std::vector<PanelAccount>> readUsersFile(const std::string& path, std::string* error);

// The line for the users file of an account: "NAME LEVEL HASH".
std::string usersFileLine(const PanelAccount& account);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_USERS_FILE_H_
