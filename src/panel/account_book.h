#ifndef GSADMIN_PANEL_ACCOUNT_BOOK_H_
#define GSADMIN_PANEL_ACCOUNT_BOOK_H_

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "panel/users_file.h"

namespace gsadmin {

// The panel's accounts as the users file last gave them, shared by the HTTP
// threads and the loop (every operation locks briefly; only useRecovery()
// writes the file, outside that lock), with what a login changes: the last
// step whose one-time code each account used, and the recovery codes used.
class AccountBook {
 public:
  // Where a used recovery code is struck out (none: nowhere); set before
  // the first login.
  void setUsersFile(std::string path) { usersFile_ = std::move(path); }

  // Takes the accounts of a (re)read users file. The names whose logins
  // must end: gone, or with another password hash, level or secret. An
  // account keeps its last used step while its secret stays.
  std::vector<std::string> replace(std::vector<PanelAccount> accounts);
  // A copy of the account named `name` exactly; nothing when none is.
  std::optional<PanelAccount> find(std::string_view name) const;

  // Takes the one-time code of `step` as used by `name`, whose secret is
  // still `secret`. False for a replay: a code of that step or a later one
  // was taken already (or the secret changed meanwhile).
  bool takeStep(const std::string& name, const std::string& secret, int64_t step);

  // Strikes out the recovery code of `slot` of `name`, whose hash is
  // `hash`: first from the users file, so that a restart cannot bring it
  // back, then here. False when it was used already (a parallel login took
  // it) or the file holds another code there (enrolled anew). When the file
  // cannot be written (a read-only copy, say) the code is still struck out
  // here, and *error says why the file was not changed.
  bool useRecovery(const std::string& name, int slot, const std::string& hash, std::string* error);

 private:
  bool holdsRecovery(const std::string& name, int slot, const std::string& hash) const;

  std::string usersFile_;
  mutable std::mutex mutex_;
  std::vector<PanelAccount> accounts_;
  std::unordered_map<std::string, int64_t> lastSteps_;  // by name
  // Held across a rewrite of the users file, so that two logins striking
  // out codes do not undo each other's line; never taken under mutex_.
  std::mutex fileMutex_;
};

// Writes `account`'s line (usersFileLine()) into the users file at `path`
// in place of its old one, keeping every other line, atomically (see
// writePrivateFile). False with a one-line reason in *error.
bool storeAccount(const std::string& path, const PanelAccount& account, std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_ACCOUNT_BOOK_H_
