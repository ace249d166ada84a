// gsadmin --enroll-totp: the account's new secret and recovery codes in the
// users file, every other line kept, and one-line refusals.

#include "app/enroll_totp_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "panel/password_hash.h"
#include "panel/recovery_codes.h"
#include "panel/users_file.h"
#include "platform/private_file.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

const std::string kHash = "$argon2id$v=19$m=19456,t=2,p=1$c2FsdHNhbHRzYWx0$aGFzaGhhc2hoYXNo";

struct Outcome {
  std::optional<int> status;
  std::string out;
  std::string err;
};

Outcome enrol(const Options& options) {
  char* outText = nullptr;
  char* errText = nullptr;
  size_t outSize = 0, errSize = 0;
  std::FILE* out = open_memstream(&outText, &outSize);
  std::FILE* err = open_memstream(&errText, &errSize);
  std::optional<int> status = runEnrollTotp(options, out, err);
  std::fclose(out);
  std::fclose(err);
  Outcome outcome{status, outText, errText};
  std::free(outText);
  std::free(errText);
  return outcome;
}

// The recovery codes the output lists, in its order.
std::vector<std::string> codesOf(const std::string& out) {
  std::vector<std::string> codes;
  for (size_t at = out.find("\n  "); at != std::string::npos; at = out.find("\n  ", at + 1)) {
    codes.push_back(out.substr(at + 3, 16));
  }
  return codes;
}

TEST(EnrollTotpCommandTest, WritesTheSecretAndHashedCodesAndPrintsThem) {
  testing::TempDir dir;
  std::string path = dir.path() + "/users";
  const std::string before = "# panel\nalice 4 " + kHash + "\n\nmia 1 " + kHash + "\n";
  std::string error;
  ASSERT_TRUE(writePrivateFile(path, before, &error));
  Options options;
  options.enrollTotp = "mia";
  options.httpUsers = path;
  Outcome outcome = enrol(options);
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "");

  std::optional<std::vector<PanelAccount>> accounts = readUsersFile(path, &error);
  ASSERT_TRUE(accounts) << error;
  const PanelAccount mia = (*accounts)[1];  // a copy: `accounts` is read again below
  ASSERT_TRUE(mia.totpSecret);
  EXPECT_EQ(outcome.out.rfind("Secret of mia: " + *mia.totpSecret +
                                  "\notpauth://totp/gsadmin:mia?secret=" + *mia.totpSecret +
                                  "&issuer=gsadmin&algorithm=SHA1&digits=6&period=30\n",
                              0),
            0u)
      << outcome.out;
  EXPECT_NE(outcome.out.find("\u2588\u2588"), std::string::npos) << "the QR code";
  std::vector<std::string> codes = codesOf(outcome.out);
  ASSERT_EQ(codes.size(), 10u) << outcome.out;
  ASSERT_EQ(mia.recovery.size(), 10u);
  // Each code's hash is in its slot; checking two keeps the test quick.
  for (size_t slot : {0u, 9u}) {
    EXPECT_EQ(mia.recovery[slot].slot, static_cast<int>(slot));
    EXPECT_TRUE(verifyPassword(mia.recovery[slot].hash, parseRecoveryCode(codes[slot])->canonical));
  }
  std::string after = readPrivateFile(path, 100000, &error).value_or("");
  EXPECT_EQ(after, "# panel\nalice 4 " + kHash + "\n\n" + usersFileLine(mia) + "\n");
  EXPECT_EQ(after.find(codes[0].substr(2)), std::string::npos) << "only hashes are stored";
  struct stat status {};
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);

  // Enrolled again: a new secret and new codes replace the old.
  Outcome again = enrol(options);
  ASSERT_EQ(again.status, 0);
  accounts = readUsersFile(path, &error);
  EXPECT_NE((*accounts)[1].totpSecret, mia.totpSecret);
  EXPECT_EQ((*accounts)[1].recovery.size(), 10u);
}

TEST(EnrollTotpCommandTest, RefusesInOneLineWithAStatus) {
  testing::TempDir dir;
  std::string path = dir.path() + "/users";
  std::string error;
  ASSERT_TRUE(writePrivateFile(path, "alice 4 " + kHash + "\n", &error));
  dir.write("open", "alice 4 " + kHash + "\n");
  chmod((dir.path() + "/open").c_str(), 0644);
  const struct {
    std::optional<std::string> account;
    std::optional<std::string> users;
    std::optional<int> status;
    std::string err;
  } cases[] = {
      {std::nullopt, path, std::nullopt, ""},
      {"alice", std::nullopt, 2, "gsadmin: --enroll-totp: needs --http-users=FILE\n"},
      {"bob", path, 2, "gsadmin: --enroll-totp: " + path + " has no account bob\n"},
      {"ALICE", path, 2, "gsadmin: --enroll-totp: " + path + " has no account ALICE\n"},
      {"alice", dir.path() + "/open", 2,
       "gsadmin: --enroll-totp: " + dir.path() +
           "/open is readable by group or others; make it private (chmod 600)\n"},
  };
  for (const auto& c : cases) {
    Options options;
    options.enrollTotp = c.account;
    options.httpUsers = c.users;
    Outcome outcome = enrol(options);
    EXPECT_EQ(outcome.status, c.status) << c.err;
    EXPECT_EQ(outcome.err, c.err);
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_EQ(readPrivateFile(path, 1000, &error).value_or(""), "alice 4 " + kHash + "\n");
}

}  // namespace
}  // namespace gsadmin
