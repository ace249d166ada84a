#ifndef GSADMIN_PANEL_PASSWORD_HASH_H_
#define GSADMIN_PANEL_PASSWORD_HASH_H_

#include <optional>
#include <string>
#include <string_view>

namespace gsadmin {

// Passwords of the panel's accounts, hashed with Argon2id (memory-hard, so
// a stolen users file is slow to attack on any hardware). The encoded form
// ("$argon2id$v=19$m=...,t=...,p=...$salt$hash") carries its own
// parameters and salt.

// The longest password hashed or checked; a longer one is refused.
inline constexpr size_t kMaxPanelPasswordBytes = 1024;

// The encoded hash of `password` with a fresh random salt, or nothing when
// the password is empty, too long or the library fails.
std::optional<std::string> hashPassword(std::string_view password);

// Whether `password` matches `encoded`. False for a malformed hash, an
// empty or too long password. Takes as long as one hashing.
bool verifyPassword(const std::string& encoded, std::string_view password);

// Whether `text` looks like an encoded Argon2id hash whose costs are within
// bounds (at most 256 MiB, 16 passes, 4 lanes), for the users file.
bool isPasswordHash(std::string_view text);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_PASSWORD_HASH_H_
