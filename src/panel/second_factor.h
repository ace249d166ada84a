#ifndef GSADMIN_PANEL_SECOND_FACTOR_H_
#define GSADMIN_PANEL_SECOND_FACTOR_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "panel/account_book.h"
#include "panel/recovery_codes.h"
#include "panel/users_file.h"

namespace gsadmin {

// What the `code` of a login is for its account, read before the password
// is checked so that the hashing can take the recovery code along.
struct SecondFactor {
  bool enrolled = false;        // the account has a secret
  std::optional<int64_t> step;  // the one-time code of this step (enrolled only)
  // A code shaped as a recovery code and the hash it is checked against:
  // its slot's, or `decoyHash` when the account has none there (or no
  // account is named), so that every such login hashes twice.
  std::optional<RecoveryCode> recovery;
  std::string recoveryHash;
  bool realRecovery = false;  // recoveryHash is the account's own
};

SecondFactor readSecondFactor(const std::optional<PanelAccount>& account, std::string_view code,
                              int64_t unixSeconds, const std::string& decoyHash);

// How a login with the right password ends.
enum class FactorVerdict {
  kAdmit,           // no code needed, or a right one (taken from now on)
  kRefuse,          // a wrong, missing or replayed code
  kNeedsEnrolment,  // --require-totp asks a code of an account without secret
};

// Decides, once the password (and a recovery code with it: `recoveryRight`)
// proved right, whether `account` gets in; takes the step or strikes out
// the recovery code in `book` when it does. `requireLevel` 0: never
// required. *error: why a recovery code admitted was not struck out of the
// users file (see AccountBook::useRecovery), for the operator.
FactorVerdict settleSecondFactor(AccountBook& book, const PanelAccount& account,
                                 const SecondFactor& factor, bool recoveryRight, int requireLevel,
                                 std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_SECOND_FACTOR_H_
