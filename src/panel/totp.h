#ifndef GSADMIN_PANEL_TOTP_H_
#define GSADMIN_PANEL_TOTP_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gsadmin {

// Time-based one-time codes as authenticator apps read them: HMAC-SHA-1 of
// the 30-second step since the epoch, six digits.
inline constexpr int64_t kTotpStepSeconds = 30;
inline constexpr int kTotpDigits = 6;
// Bytes of a new secret: the 160 bits of SHA-1's block the apps expect.
inline constexpr size_t kTotpSecretBytes = 20;

// Base32 without padding (A-Z, 2-7), as the apps and otpauth:// URIs take.
std::string base32Encode(std::string_view bytes);
// The bytes of `text` (upper or lower case, '=' padding and blanks
// ignored); nothing when it holds any other character, is empty or decodes
// to more than 64 bytes.
std::optional<std::string> base32Decode(std::string_view text);

// The HOTP value of `key` and `counter`, `digits` long with leading zeros.
std::string hotpCode(std::string_view key, uint64_t counter, int digits = kTotpDigits);

// The step of the moment `unixSeconds` (seconds since the epoch).
int64_t totpStep(int64_t unixSeconds);

// The step within one of `unixSeconds`' step (earlier, same, later: the
// clocks of phone and host may differ by some seconds) whose code is
// `code`; nothing when none is. Every candidate is compared, each in a time
// that does not depend on where the texts differ.
std::optional<int64_t> matchTotp(std::string_view key, std::string_view code, int64_t unixSeconds);

// A fresh random secret of kTotpSecretBytes, in base32; empty when the
// kernel gave no randomness.
std::string newTotpSecret();

// otpauth://totp/ISSUER:ACCOUNT?secret=...&issuer=...&algorithm=SHA1&digits=6&period=30
std::string otpauthUri(std::string_view issuer, std::string_view account,
                       std::string_view base32Secret);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_TOTP_H_
