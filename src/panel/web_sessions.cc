#include "panel/web_sessions.h"

#include <sys/random.h>

#include <array>
#include <cerrno>

namespace gsadmin {

std::string randomToken() {
  std::array<unsigned char, 32> bytes{};
  size_t filled = 0;
  while (filled < bytes.size()) {
    ssize_t n = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return "";
    filled += static_cast<size_t>(n);
  }
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

std::optional<WebLogin> WebSessions::create(const std::string& name, int level) {
  WebLogin login{randomToken(), randomToken(), name, level};
  if (login.token.empty() || login.csrf.empty()) return std::nullopt;
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
  logins_[login.token] = Entry{login, now, now};
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
  return it->second.login;
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
