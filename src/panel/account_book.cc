#include "panel/account_book.h"

#include <algorithm>

#include "platform/private_file.h"

namespace gsadmin {
namespace {

PanelAccount* named(std::vector<PanelAccount>& accounts, std::string_view name) {
  auto found = std::find_if(accounts.begin(), accounts.end(),
                            [name](const PanelAccount& account) { return account.name == name; });
  return found == accounts.end() ? nullptr : &*found;
}

}  // namespace

std::vector<std::string> AccountBook::replace(std::vector<PanelAccount> accounts) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> ended;
  for (PanelAccount& old : accounts_) {
    const PanelAccount* now = named(accounts, old.name);
    bool sameSecret = now != nullptr && now->totpSecret == old.totpSecret;
    if (!sameSecret) lastSteps_.erase(old.name);
    if (!sameSecret || now->hash != old.hash || now->level != old.level || now->role != old.role) {
      ended.push_back(old.name);
    }
  }
  accounts_ = std::move(accounts);
  return ended;
}

std::optional<PanelAccount> AccountBook::find(std::string_view name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = std::find_if(accounts_.begin(), accounts_.end(),
                            [name](const PanelAccount& account) { return account.name == name; });
  if (found == accounts_.end()) return std::nullopt;
  return *found;
}

bool AccountBook::takeStep(const std::string& name, const std::string& secret, int64_t step) {
  std::lock_guard<std::mutex> lock(mutex_);
  const PanelAccount* account = named(accounts_, name);
  if (account == nullptr || account->totpSecret != secret) return false;
  auto last = lastSteps_.find(name);
  if (last != lastSteps_.end() && last->second >= step) return false;
  lastSteps_[name] = step;
  return true;
}

bool AccountBook::holdsRecovery(const std::string& name, int slot, const std::string& hash) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = std::find_if(accounts_.begin(), accounts_.end(),
                            [&name](const PanelAccount& account) { return account.name == name; });
  if (found == accounts_.end()) return false;
  return std::any_of(found->recovery.begin(), found->recovery.end(), [&](const RecoveryHash& code) {
    return code.slot == slot && code.hash == hash;
  });
}

bool AccountBook::useRecovery(const std::string& name, int slot, const std::string& hash,
                              std::string* error) {
  std::lock_guard<std::mutex> file(fileMutex_);
  if (!holdsRecovery(name, slot, hash)) return false;
  if (!usersFile_.empty()) {
    // The file's own line is edited, not the one held here: a reload may
    // not have come since the operator last changed it.
    std::string reason;
    std::optional<std::vector<PanelAccount>> onDisk = readUsersFile(usersFile_, &reason);
    PanelAccount* account = onDisk ? named(*onDisk, name) : nullptr;
    if (account != nullptr) {
      // A code enrolled anew since the last reload is not this one.
      size_t before = account->recovery.size();
      std::erase_if(account->recovery, [&](const RecoveryHash& code) {
        return code.slot == slot && code.hash == hash;
      });
      if (account->recovery.size() == before) return false;
      if (!storeAccount(usersFile_, *account, &reason)) account = nullptr;
    } else if (onDisk) {
      reason = usersFile_ + " no longer holds the account";
    }
    if (account == nullptr) *error = reason;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (PanelAccount* account = named(accounts_, name)) {
    std::erase_if(account->recovery,
                  [slot](const RecoveryHash& code) { return code.slot == slot; });
  }
  return true;
}

bool storeAccount(const std::string& path, const PanelAccount& account, std::string* error) {
  std::optional<std::string> text = readPrivateFile(path, kMaxUsersFileBytes + 1, error);
  if (!text) return false;
  std::optional<std::string> edited = withAccountLine(*text, account.name, usersFileLine(account));
  if (!edited) {
    *error = path + " holds no account " + account.name;
    return false;
  }
  return writePrivateFile(path, *edited, error);
}

}  // namespace gsadmin
