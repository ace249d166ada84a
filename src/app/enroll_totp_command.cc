#include "app/enroll_totp_command.h"

#include <string>
#include <vector>

#include "app/terminal_qr.h"
#include "panel/account_book.h"
#include "panel/password_hash.h"
#include "panel/recovery_codes.h"
#include "panel/totp.h"
#include "panel/users_file.h"

namespace gsadmin {
namespace {

// The name authenticator apps show above the account's codes.
constexpr char kIssuer[] = "gsadmin";

int refuse(std::FILE* err, int status, const std::string& reason) {
  std::fprintf(err, "gsadmin: --enroll-totp: %s\n", reason.c_str());
  return status;
}

// `account` with a new secret and the hashes of `codes`; false when no
// randomness came or a hashing failed.
bool enrol(PanelAccount& account, const std::vector<std::string>& codes) {
  std::string secret = newTotpSecret();
  if (secret.empty() || codes.size() != static_cast<size_t>(kRecoveryCodes)) return false;
  account.totpSecret = secret;
  account.recovery.clear();
  for (const std::string& code : codes) {
    std::optional<RecoveryCode> parsed = parseRecoveryCode(code);
    std::optional<std::string> hash = parsed ? hashPassword(parsed->canonical) : std::nullopt;
    if (!hash) return false;
    account.recovery.push_back({parsed->slot, *hash});
  }
  return true;
}

void print(std::FILE* out, const PanelAccount& account, const std::vector<std::string>& codes,
           const std::string& path) {
  std::string uri = otpauthUri(kIssuer, account.name, *account.totpSecret);
  std::fprintf(out, "Secret of %s: %s\n%s\n", account.name.c_str(), account.totpSecret->c_str(),
               uri.c_str());
  if (std::optional<QrModules> modules = qrModules(uri)) {
    std::fprintf(out, "%s", drawQr(*modules).c_str());
  }
  std::fprintf(out, "Recovery codes, each good for one login without the phone:\n");
  for (const std::string& code : codes) std::fprintf(out, "  %s\n", code.c_str());
  std::fprintf(out, "Written to %s; a running client takes it at SIGHUP.\n", path.c_str());
}

}  // namespace

std::optional<int> runEnrollTotp(const Options& options, std::FILE* out, std::FILE* err) {
  if (!options.enrollTotp) return std::nullopt;
  if (!options.httpUsers) return refuse(err, 2, "needs --http-users=FILE");
  const std::string& path = *options.httpUsers;
  std::string error;
  std::optional<std::vector<PanelAccount>> accounts = readUsersFile(path, &error);
  if (!accounts) return refuse(err, 2, error);
  PanelAccount* account = nullptr;
  for (PanelAccount& candidate : *accounts) {
    if (candidate.name == *options.enrollTotp) account = &candidate;
  }
  if (account == nullptr) return refuse(err, 2, path + " has no account " + *options.enrollTotp);
  std::vector<std::string> codes = newRecoveryCodes();
  if (!enrol(*account, codes)) return refuse(err, 1, "no randomness or no hashing");
  // Written before anything is shown: a secret printed but never stored
  // would send the user to scan a code that cannot log in.
  if (!storeAccount(path, *account, &error)) return refuse(err, 1, error);
  print(out, *account, codes, path);
  return 0;
}

}  // namespace gsadmin
