#include "login_bench.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_statistics.h"
#include "panel/account_book.h"
#include "panel/password_hash.h"
#include "panel/second_factor.h"
#include "panel/totp.h"
#include "platform/private_file.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "support/panel_client.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Accounts of each kind; each logs in once.
constexpr int kAccounts = 30;
constexpr int kChecks = 20000;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct LoginTimes {
  std::vector<double> password;  // ms, password alone
  std::vector<double> withCode;  // ms, password and one-time code
  bool complete = false;         // every login answered 200
};

// A users file of kAccounts "p" accounts and kAccounts "t" accounts with
// `secret`, all with the password "secret".
bool writeUsers(const std::string& path, const std::string& secret) {
  std::optional<std::string> hash = hashPassword("secret");
  if (!hash) return false;
  std::string text;
  for (int i = 0; i < kAccounts; ++i) {
    text += "p" + std::to_string(i) + " 1 " + *hash + "\n";
    text += "t" + std::to_string(i) + " 1 " + *hash + " totp=" + secret + "\n";
  }
  std::string error;
  return writePrivateFile(path, text, &error);
}

double timeLogin(int port, const nlohmann::json& body, bool* ok) {
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(10, 0);
  Clock::time_point start = Clock::now();
  httplib::Result result = http.Post("/api/login", body.dump(), "application/json");
  double ms = millisecondsSince(start);
  *ok = *ok && result && result->status == 200;
  return ms;
}

LoginTimes measureLogins() {
  LoginTimes times;
  testing::TempDir dir;
  std::string secret = newTotpSecret();
  std::string users = dir.path() + "/users";
  if (!writeUsers(users, secret)) return times;
  testing::LoopbackPeer peer;
  testing::ClientProcess client(
      {"--http=127.0.0.1:0", "--http-users=" + users, "--no-moderation", "--no-input", "127.0.0.1",
       std::to_string(peer.port()), "Admin", "pw"},
      std::nullopt);
  int port = testing::portOf(client, "Panel");
  if (port == 0) return times;
  std::string key = base32Decode(secret).value_or("");
  bool ok = true;
  for (int i = 0; i < kAccounts; ++i) {
    times.password.push_back(
        timeLogin(port, {{"name", "p" + std::to_string(i)}, {"password", "secret"}}, &ok));
    // Every "t" account shares the secret but keeps its own last step.
    std::string code = hotpCode(key, static_cast<uint64_t>(totpStep(std::time(nullptr))));
    times.withCode.push_back(timeLogin(
        port, {{"name", "t" + std::to_string(i)}, {"password", "secret"}, {"code", code}}, &ok));
  }
  times.complete = ok;
  return times;
}

// Microseconds of one code's reading and taking, in process.
double checkMicroseconds() {
  std::string secret = newTotpSecret();
  PanelAccount account;
  account.name = "t";
  account.level = 1;
  account.hash = "unused";
  account.totpSecret = secret;
  AccountBook book;
  book.replace({account});
  std::string key = base32Decode(secret).value_or("");
  int64_t now = 1800000000;
  std::string error;
  Clock::time_point start = Clock::now();
  for (int i = 0; i < kChecks; ++i) {
    int64_t moment = now + static_cast<int64_t>(i) * kTotpStepSeconds;
    std::string code = hotpCode(key, static_cast<uint64_t>(totpStep(moment)));
    SecondFactor factor = readSecondFactor(account, code, moment, "");
    if (settleSecondFactor(book, account, factor, false, 0, &error) != FactorVerdict::kAdmit) {
      return -1;
    }
  }
  return millisecondsSince(start) * 1000 / kChecks;
}

}  // namespace

std::vector<ResultRow> loginRows() {
  std::printf("(p) panel logins\n");
  std::fflush(stdout);
  LoginTimes times = measureLogins();
  std::vector<ResultRow> rows;
  if (times.password.empty()) {
    rows.push_back({"(p) panel logins", "not run: the panel did not start", "", false});
    return rows;
  }
  double password = percentileOf(times.password, 0.5);
  double withCode = percentileOf(times.withCode, 0.5);
  double extra = withCode - password;
  rows.push_back({"(p) login, password alone: median", fixed(password, 1, " ms"), "", {}});
  rows.push_back({"(p) login with a one-time code: median", fixed(withCode, 1, " ms"), "", {}});
  rows.push_back({"(p) the code's share of a login (medians' difference)", fixed(extra, 1, " ms"),
                  "< 50 ms", times.complete && extra < 50});
  rows.push_back(
      {"(p) a code read and taken, in process", fixed(checkMicroseconds(), 1, " us"), "", {}});
  return rows;
}

const char kLoginNotes[] =
    "\n(p) Panel logins: the real binary with 30 accounts of a password alone and 30 enrolled for\n"
    "  one-time codes (Argon2id 19 MiB, 2 passes, for all), over loopback, the two kinds by "
    "turns,\n"
    "  each account once (a code is taken once), a new connection each; the medians of each kind\n"
    "  and their difference, the code's own cost. In process: reading a code (HMAC-SHA-1 of three\n"
    "  steps) and taking its step in the account book, over 20 000 codes.\n";

}  // namespace gsadmin::bench
