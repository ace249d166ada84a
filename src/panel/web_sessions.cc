#include "panel/web_sessions.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "console/printable.h"
#include "platform/random_bytes.h"

namespace gsadmin {

std::string randomToken() {
  std::array<unsigned char, 32> bytes{};
  if (!fillRandom(bytes.data(), bytes.size())) return "";
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char byte : bytes) {
    token += kHex[byte >> 4];
    token += kHex[byte & 15];
  }
  return token;
}

bool sameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  }
  return difference == 0;
}

namespace {

// A header's text as the list may show it: cut to `limit` bytes, control
// characters as '?' (the header is untrusted).
std::string printableCut(std::string_view text, size_t limit) {
  return printable(text.substr(0, limit));
}

}  // namespace

std::optional<WebLogin> WebSessions::create(const std::string& name, int level,
                                            const LoginOrigin& origin,
                                            std::shared_ptr<const ActGrants> grants) {
  WebLogin login{randomToken(), randomToken(), name, level};
  login.grants = std::move(grants);
  std::string id = randomToken().substr(0, 16);
  if (login.token.empty() || login.csrf.empty() || id.empty()) return std::nullopt;
  LoginOrigin kept{printableCut(origin.address, 64),
                   printableCut(origin.browser, kMaxBrowserBytes)};
  // The clock is read under the lock, so that no thread's moment is older
  // than one another thread already stored.
  std::lock_guard<std::mutex> lock(mutex_);
  uint64_t now = clock_.nowMs();
  dropExpired(now);
  if (logins_.size() >= kMaxLogins) {
    auto oldest = logins_.begin();
    for (auto it = logins_.begin(); it != logins_.end(); ++it) {
      if (it->second.lastUsedMs < oldest->second.lastUsedMs) oldest = it;
    }
    logins_.erase(oldest);
  }
  int64_t wall = clock_.wallSeconds();
  logins_[login.token] = Entry{login, now, now, id, std::move(kept), wall, wall};
  return login;
}

std::optional<WebLogin> WebSessions::find(std::string_view token) {
  std::lock_guard<std::mutex> lock(mutex_);
  uint64_t now = clock_.nowMs();
  auto it = logins_.find(std::string(token));
  if (it == logins_.end()) return std::nullopt;
  if (now - it->second.lastUsedMs >= kIdleMs) {
    logins_.erase(it);
    return std::nullopt;
  }
  it->second.lastUsedMs = now;
  it->second.lastSeen = clock_.wallSeconds();
  return it->second.login;
}

std::vector<SessionView> WebSessions::list(std::string_view name) {
  std::lock_guard<std::mutex> lock(mutex_);
  dropExpired(clock_.nowMs());
  std::vector<SessionView> views;
  for (const auto& [token, entry] : logins_) {
    if (entry.login.name != name) continue;
    views.push_back({entry.id, entry.origin, entry.started, entry.lastSeen, token});
  }
  std::sort(views.begin(), views.end(), [](const SessionView& a, const SessionView& b) {
    return a.lastSeen != b.lastSeen ? a.lastSeen > b.lastSeen : a.id < b.id;
  });
  return views;
}

bool WebSessions::removeById(std::string_view name, std::string_view id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::erase_if(logins_, [name, id](const auto& entry) {
           return entry.second.login.name == name && entry.second.id == id;
         }) > 0;
}

void WebSessions::remove(std::string_view token) {
  std::lock_guard<std::mutex> lock(mutex_);
  logins_.erase(std::string(token));
}

size_t WebSessions::removeAccount(std::string_view name) {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::erase_if(logins_,
                       [name](const auto& entry) { return entry.second.login.name == name; });
}

void WebSessions::dropExpired(uint64_t now) {
  for (auto it = logins_.begin(); it != logins_.end();) {
    it = now - it->second.lastUsedMs >= kIdleMs ? logins_.erase(it) : std::next(it);
  }
}

}  // namespace gsadmin
