#ifndef GSADMIN_PANEL_LOGIN_THROTTLE_H_
#define GSADMIN_PANEL_LOGIN_THROTTLE_H_

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"

namespace gsadmin {

// The key an address's tries are counted under: all of loopback (127/8 and
// ::1) is one, since every admin behind an SSH tunnel comes from there; an
// IPv6 address counts by its /64, which one host usually holds whole; an
// IPv4-mapped IPv6 address counts as its IPv4 address.
std::string addressKey(std::string_view address);

// One try to log in, as the throttle sees it.
struct LoginAttempt {
  std::string name;            // the account named, which may not exist
  bool accountExists = false;  // whether the users file has it
  std::string address;         // the peer's address as text
  // The browser, when it carries a valid device cookie for `name`.
  std::optional<std::string> device;
};

// A guess the throttle let through, to be given back when it succeeded or
// was never checked.
struct LoginSlot {
  std::string nameKey;  // empty for a known browser
  bool accountExists = false;
  std::string addressKey;  // empty for a known browser
  std::string device;      // empty for an unknown browser
  uint64_t moment = 0;
};

// Bounds the guesses at the panel's passwords. A browser that logged in to
// an account before (it holds a device cookie for it) has kPerDevice checked
// guesses a minute of its own and nothing else counts against it, so that
// nobody else's failures can lock an admin out. Every other try counts
// against the account named (kPerAccount) and the address it comes from
// (kPerAddress), and needs room in both. A try is counted when it is let
// through, before its password is hashed, so parallel tries cannot pass
// the limit. Each operation locks; the clock must outlive the throttle.
class LoginThrottle {
 public:
  static constexpr size_t kPerAccount = 5;
  static constexpr size_t kPerAddress = 20;
  static constexpr size_t kPerDevice = 5;
  static constexpr uint64_t kWindowMs = 60 * 1000;
  // Keys remembered per kind (names without an account, addresses,
  // browsers); beyond, the ones with no try in the window go, and a new
  // key still without room shares one window with every other such key.
  static constexpr size_t kMaxKeys = 10000;

  explicit LoginThrottle(Clock& clock) : clock_(clock) {}

  // Counts `attempt` and returns its slot, or nothing when a limit it is
  // under is reached (then nothing is counted).
  std::optional<LoginSlot> reserve(const LoginAttempt& attempt);
  // Uncounts `slot`'s try: its password was right, or never checked.
  void giveBack(const LoginSlot& slot);

 private:
  // The moments of the tries within the window, oldest first.
  using Windows = std::unordered_map<std::string, std::vector<uint64_t>>;

  // The recent tries of `key` in `windows`, older ones dropped.
  std::vector<uint64_t>& recent(Windows& windows, const std::string& key, uint64_t now);
  std::optional<LoginSlot> reserveForDevice(const std::string& device, uint64_t now);
  Windows& namesFor(bool accountExists) { return accountExists ? accounts_ : otherNames_; }

  Clock& clock_;
  std::mutex mutex_;
  Windows accounts_;    // names of accounts: as many as the users file has
  Windows otherNames_;  // names without an account
  Windows addresses_;   // by addressKey()
  Windows devices_;     // by the device cookie's id
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_LOGIN_THROTTLE_H_
