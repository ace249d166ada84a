#ifndef GSADMIN_PANEL_WEB_SESSIONS_H_
#define GSADMIN_PANEL_WEB_SESSIONS_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "moderation/act_grants.h"
#include "panel/api_tokens.h"
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
  // A request made with an API token: its label and scope (see
  // requireLogin); none for a login's session.
  std::string tokenLabel = {};
  std::optional<TokenScope> scope = {};
  // The account's role, when it is of a named one (see ActGrants).
  std::shared_ptr<const ActGrants> grants = {};
};

// Where a login came from, as its account's session list shows it.
struct LoginOrigin {
  std::string address;  // the peer's
  std::string browser;  // its User-Agent, cut to kMaxBrowserBytes, printable
};

// One login as the account's session list shows it: never its token.
struct SessionView {
  std::string id;  // 16 hex digits, not a secret: names the login to end it
  LoginOrigin origin;
  int64_t started = 0;   // seconds since the epoch
  int64_t lastSeen = 0;  // seconds since the epoch
  std::string token;     // for telling the asker's own login; never sent
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
  std::optional<WebLogin> create(const std::string& name, int level, const LoginOrigin& origin = {},
                                 std::shared_ptr<const ActGrants> grants = nullptr);
  // The login whose cookie is `token`, renewed; nothing when unknown or
  // idle too long (then it is forgotten).
  std::optional<WebLogin> find(std::string_view token);
  void remove(std::string_view token);
  // Ends every login of the account `name`; how many there were.
  size_t removeAccount(std::string_view name);
  // The live logins of the account `name`, the latest seen first.
  std::vector<SessionView> list(std::string_view name);
  // Ends the login `id` of the account `name`; false when it has none.
  bool removeById(std::string_view name, std::string_view id);

  static constexpr size_t kMaxBrowserBytes = 160;

 private:
  struct Entry {
    WebLogin login;
    uint64_t createdMs = 0;
    uint64_t lastUsedMs = 0;
    std::string id;
    LoginOrigin origin;
    int64_t started = 0;
    int64_t lastSeen = 0;  // wall-clock seconds, for the list
  };
  void dropExpired(uint64_t now);

  Clock& clock_;
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> logins_;  // by token
};

// Compares two secrets in a time that depends on their lengths only.
bool sameSecret(std::string_view a, std::string_view b);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_WEB_SESSIONS_H_
