#ifndef GSADMIN_APP_ENROLL_TOTP_COMMAND_H_
#define GSADMIN_APP_ENROLL_TOTP_COMMAND_H_

#include <cstdio>
#include <optional>

#include "app/options.h"

namespace gsadmin {

// With --enroll-totp=ACCOUNT and --http-users=FILE: gives the account of
// FILE a new one-time code secret and ten recovery codes, writes them to
// FILE (the secret as it is, the codes hashed; every other line kept, the
// file replaced atomically), then prints on `out` the secret, its
// otpauth:// URI, the URI's QR code and the recovery codes. Enrolling again
// replaces both. Status 0; 2 with one line on `err` when the options or the
// file are wrong or the account is not in it; 1 when the file cannot be
// written or no randomness came. Nothing without --enroll-totp.
std::optional<int> runEnrollTotp(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace gsadmin

#endif  // GSADMIN_APP_ENROLL_TOTP_COMMAND_H_
