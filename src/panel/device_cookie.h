#ifndef GSADMIN_PANEL_DEVICE_COOKIE_H_
#define GSADMIN_PANEL_DEVICE_COOKIE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gsadmin {

inline constexpr char kDeviceCookie[] = "gsadmin_device";

// The cookies that mark a browser as one that logged in to an account
// before, so that the login throttle can tell its admin from a stranger.
// A cookie is "ID.EXPIRY.MAC": a random id, the second it expires (epoch)
// and an HMAC-SHA256 over the account's name, the expiry and the id, with
// a random key of this process (a restart forgets every browser, which
// then counts as unknown until it logs in again). The name stays out of
// the cookie: the login names the account.
class DeviceCookies {
 public:
  static constexpr int64_t kLifetimeSeconds = 90LL * 24 * 3600;

  // Draws the key; without randomness from the kernel no cookie is made
  // or accepted.
  DeviceCookies();

  // A fresh cookie value for a browser that just logged in to `name`;
  // nothing without a key.
  std::optional<std::string> issue(std::string_view name, int64_t nowSeconds) const;
  // The id of the browser whose cookie `value` was issued for `name` and
  // has not expired at `nowSeconds`; nothing for any other value.
  std::optional<std::string> deviceOf(std::string_view value, std::string_view name,
                                      int64_t nowSeconds) const;

 private:
  std::string mac(std::string_view name, std::string_view expiry, std::string_view id) const;

  std::string key_;  // empty when the kernel gave no randomness
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_DEVICE_COOKIE_H_
