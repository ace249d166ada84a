#include "panel/token_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <utility>

namespace gsadmin {

// What tells one version of the file from another; none for no file.
std::optional<TokenStore::FileStamp> TokenStore::stampOf(const std::string& path) {
  struct stat status {};
  if (lstat(path.c_str(), &status) != 0) return std::nullopt;
  return FileStamp{
      status.st_dev, status.st_ino, static_cast<int64_t>(status.st_size),
      static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

TokenStore::TokenStore(std::string path, Clock& clock) : path_(std::move(path)), clock_(clock) {
  std::lock_guard<std::mutex> lock(mutex_);
  refreshLocked(true);
}

void TokenStore::refreshLocked(bool force) {
  uint64_t now = clock_.nowMs();
  if (!force && checkedMs_ && now - *checkedMs_ < kRecheckMs) return;
  checkedMs_ = now;
  std::optional<FileStamp> stamp = stampOf(path_);
  if (!force && stamp == stamp_) return;
  stamp_ = stamp;
  std::string error;
  std::optional<std::vector<ApiToken>> tokens = readTokensFile(path_, &error);
  problem_ = tokens ? "" : error;
  takeLocked(tokens ? std::move(*tokens) : std::vector<ApiToken>{});
}

void TokenStore::takeLocked(std::vector<ApiToken> tokens) {
  tokens_ = std::move(tokens);
  byHash_.clear();
  for (size_t i = 0; i < tokens_.size(); ++i) byHash_.emplace(tokens_[i].hash, i);
}

std::optional<ApiToken> TokenStore::find(std::string_view secret) {
  if (secret.empty() || secret.size() > kMaxTokenBytes) return std::nullopt;
  std::string hash = tokenHash(secret);
  std::lock_guard<std::mutex> lock(mutex_);
  refreshLocked(false);
  auto found = byHash_.find(hash);
  if (found == byHash_.end()) return std::nullopt;
  const ApiToken& token = tokens_[found->second];
  if (token.expires != 0 && token.expires <= clock_.wallSeconds()) return std::nullopt;
  return token;
}

std::vector<ApiToken> TokenStore::list() {
  std::lock_guard<std::mutex> lock(mutex_);
  refreshLocked(false);
  return tokens_;
}

bool TokenStore::revoke(const std::string& label, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::optional<size_t> gone =
      removeLocked([&label](const ApiToken& token) { return token.label == label; }, error);
  if (gone && *gone == 0) *error = "no token is labelled " + label;
  return gone.value_or(0) > 0;
}

std::optional<size_t> TokenStore::revokeAccount(const std::string& account, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  return removeLocked([&account](const ApiToken& token) { return token.account == account; },
                      error);
}

std::optional<size_t> TokenStore::removeLocked(const std::function<bool(const ApiToken&)>& goes,
                                               std::string* error) {
  refreshLocked(true);
  if (!problem_.empty()) {
    *error = problem_;
    return std::nullopt;
  }
  std::vector<ApiToken> kept = tokens_;
  auto gone = std::remove_if(kept.begin(), kept.end(), goes);
  size_t count = static_cast<size_t>(kept.end() - gone);
  if (count == 0) return 0;
  kept.erase(gone, kept.end());
  if (!writeTokensFile(path_, kept, error)) return std::nullopt;
  stamp_ = stampOf(path_);
  takeLocked(std::move(kept));
  return count;
}

std::string TokenStore::problem() {
  std::lock_guard<std::mutex> lock(mutex_);
  return problem_;
}

}  // namespace gsadmin
