#ifndef GSADMIN_PANEL_WEB_SESSIONS_H_
#define GSADMIN_PANEL_WEB_SESSIONS_H_

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/clock.h"

namespace gsadmin {

// 32 random bytes from the kernel as 64 hex digits; empty only when the
// kernel gives none.
std::string randomToken();

// One logged-in browser or bot.
struct WebLogin {
  std::string token;  // the cookie's value
  std::string csrf;   // sent back with every state-changing request
  std::string name;   // the account
  int level = 0;
};

// The logins of the panel, shared by its HTTP threads (every operation
// locks). A login ends after kIdleMs without a request. The clock must
// outlive the store and be safe to read from any thread.
class WebSessions {
 public:
  static constexpr uint64_t kIdleMs = 12ull * 3600 * 1000;
  // Bounds the memory a flood of logins can take; the oldest goes first.
  static constexpr size_t kMaxLogins = 1000;

  explicit WebSessions(Clock& clock) : clock_(clock) {}

  // A new login of `name` at `level` with fresh random tokens; nothing
  // when the kernel gave no randomness.
  std::optional<WebLogin> create(const std::string& name, int level);
  // The login whose cookie is `token`, renewed; nothing when unknown or
  // idle too long (then it is forgotten).
  std::optional<WebLogin> find(std::string_view token);
  void remove(std::string_view token);

 private:
  struct Entry {
    WebLogin login;
    uint64_t createdMs = 0;
    uint64_t lastUsedMs = 0;
  };
  void dropExpired(uint64_t now);

  Clock& clock_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> logins_;  // by token
};

// At most kMaxFailures failed logins a minute per address; each operation
// locks. The clock must outlive the throttle.
class LoginThrottle {
 public:
  static constexpr size_t kMaxFailures = 5;
  static constexpr uint64_t kWindowMs = 60 * 1000;
  // Addresses remembered at once; beyond, the ones with no recent failure go.
  static constexpr size_t kMaxAddresses = 10000;

  explicit LoginThrottle(Clock& clock) : clock_(clock) {}

  // Whether `address` may try to log in now.
  bool allowed(const std::string& address);
  // Counts a failed login of `address`.
  void failed(const std::string& address);

 private:
  // Drops the failures of `address` older than the window.
  std::deque<uint64_t>& recent(const std::string& address, uint64_t now);

  Clock& clock_;
  std::mutex mutex_;
  std::unordered_map<std::string, std::deque<uint64_t>> failures_;
};

// Compares two secrets in a time that depends on their lengths only.
bool sameSecret(std::string_view a, std::string_view b);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_WEB_SESSIONS_H_
