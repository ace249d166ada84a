#ifndef GSADMIN_PANEL_USERS_FILE_H_
#define GSADMIN_PANEL_USERS_FILE_H_

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "moderation/act_grants.h"

namespace gsadmin {

// The largest users file read; a larger one is refused.
inline constexpr size_t kMaxUsersFileBytes = 1024 * 1024;

// A recovery code of an account, hashed (see recovery_codes.h).
struct RecoveryHash {
  int slot = 0;      // 0 to 9, the code's first character
  std::string hash;  // an encoded Argon2id hash of the code
};

// One account of the web panel.
struct PanelAccount {
  std::string name;
  int level = 0;     // a moderation level, kModeratorLevel to kOperatorLevel
  std::string hash;  // an encoded Argon2id hash (see password_hash.h)
  // The base32 secret of its one-time codes (see totp.h); none: the
  // password alone logs in.
  std::optional<std::string> totpSecret;
  std::vector<RecoveryHash> recovery;  // the unused ones, by slot
  // The named role the account has, as the file names it; empty for a
  // level. `level` is then the role's (see levelOfRole).
  std::string role;
  std::shared_ptr<const ActGrants> grants;
};

// The accounts of a users file's text: one a line, "NAME ROLE HASH"
// separated by spaces or tabs, then optionally "totp=SECRET" and up to ten
// "recovery=S:HASH" fields, as gsadmin --enroll-totp writes them; blank
// lines and lines starting with '#' are skipped. A line "role NAME
// PERM,PERM,... [SERVER,...]" defines a role (see parseRole), anywhere in
// the file. NAME is 1 to 32 letters, digits and "_.-" (not "role"); ROLE
// is a level, 1 to 4 or its name (moderator, admin, senior, operator), or a
// role the file defines; SECRET is base32 of 10 to 64 bytes; S
// is a slot 0 to 9, once per line. Refused, with "line N: reason" in
// *error, at the first bad line, a name given twice (any case), or a file
// with no account.
std::optional<std::vector<PanelAccount>> parseUsers(std::string_view text, std::string* error);

// parseUsers() of the file at `path`, which is refused as the password
// file is (a link, not a regular file, readable by group or others) and
// when it is larger than 1 MiB. *error is one line naming the file.
std::optional<std::vector<PanelAccount>> readUsersFile(const std::string& path, std::string* error);

// The line for the users file of an account: "NAME LEVEL HASH", then its
// secret and recovery hashes when it has them.
std::string usersFileLine(const PanelAccount& account);

// `text` with the line of the account `name` (the same name exactly)
// replaced by `line`; every other line, comment and blank is kept as it
// was. Nothing when no line holds that account.
std::optional<std::string> withAccountLine(std::string_view text, std::string_view name,
                                           std::string_view line);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_USERS_FILE_H_
