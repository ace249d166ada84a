#include "panel/second_factor.h"

#include "panel/totp.h"

namespace gsadmin {

SecondFactor readSecondFactor(const std::optional<PanelAccount>& account, std::string_view code,
                              int64_t unixSeconds, const std::string& decoyHash) {
  SecondFactor factor;
  factor.enrolled = account && account->totpSecret;
  if (factor.enrolled && code.size() == static_cast<size_t>(kTotpDigits)) {
    std::optional<std::string> key = base32Decode(*account->totpSecret);
    if (key) factor.step = matchTotp(*key, code, unixSeconds);
  }
  factor.recovery = parseRecoveryCode(code);
  if (!factor.recovery) return factor;
  factor.recoveryHash = decoyHash;
  if (!factor.enrolled) return factor;
  for (const RecoveryHash& stored : account->recovery) {
    if (stored.slot == factor.recovery->slot) {
      factor.recoveryHash = stored.hash;
      factor.realRecovery = true;
    }
  }
  return factor;
}

FactorVerdict settleSecondFactor(AccountBook& book, const PanelAccount& account,
                                 const SecondFactor& factor, bool recoveryRight, int requireLevel,
                                 std::string* error) {
  if (!factor.enrolled) {
    bool required = requireLevel > 0 && account.level >= requireLevel;
    return required ? FactorVerdict::kNeedsEnrolment : FactorVerdict::kAdmit;
  }
  if (factor.step) {
    return book.takeStep(account.name, *account.totpSecret, *factor.step) ? FactorVerdict::kAdmit
                                                                          : FactorVerdict::kRefuse;
  }
  if (!factor.recovery || !factor.realRecovery || !recoveryRight) return FactorVerdict::kRefuse;
  return book.useRecovery(account.name, factor.recovery->slot, factor.recoveryHash, error)
             ? FactorVerdict::kAdmit
             : FactorVerdict::kRefuse;
}

}  // namespace gsadmin
