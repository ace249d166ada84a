#ifndef GSADMIN_PANEL_RECOVERY_CODES_H_
#define GSADMIN_PANEL_RECOVERY_CODES_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// The single-use codes that stand in for an account's one-time code when
// the phone is lost. Each is "S-xxxx-xxxx-xxxx": S, the slot 0 to 9, names
// the one hash a login checks (one Argon2id hashing, not ten), and twelve
// base32 letters carry 60 random bits.
inline constexpr int kRecoveryCodes = 10;

// A code as a login gives it: its slot and the text that was hashed.
struct RecoveryCode {
  int slot = 0;
  std::string canonical;  // "S" and the twelve letters, lower case, no dashes
};

// kRecoveryCodes fresh codes, slot i at index i, as shown to the user;
// empty when the kernel gave no randomness.
std::vector<std::string> newRecoveryCodes();

// The code `text` names (any case; dashes and blanks ignored); nothing when
// it is not shaped as one. A six-digit one-time code is never one.
std::optional<RecoveryCode> parseRecoveryCode(std::string_view text);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_RECOVERY_CODES_H_
