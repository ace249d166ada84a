// Two-factor logins through the real binary: --enroll-totp writes the
// users file, the panel asks the code in the login's request, refuses a
// replayed one and a recovery code used before, --require-totp asks it of
// the higher levels, and a SIGHUP that changes a secret ends its logins.

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "panel/password_hash.h"
#include "panel/totp.h"
#include "platform/private_file.h"
#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

// What --enroll-totp printed for an account.
struct Enrolment {
  int status = -1;
  std::string secret;
  std::vector<std::string> recoveryCodes;
  std::string output;
};

Enrolment enrol(const std::string& account, const std::string& usersFile) {
  ClientProcess command({"--enroll-totp=" + account, "--http-users=" + usersFile}, std::nullopt);
  Enrolment enrolment;
  enrolment.status = command.waitExit(20000);
  command.readToEnd();
  enrolment.output = command.output() + command.errorOutput();
  const std::string& out = command.output();
  std::string label = "Secret of " + account + ": ";
  size_t at = out.find(label);
  if (at != std::string::npos) {
    at += label.size();
    enrolment.secret = out.substr(at, out.find('\n', at) - at);
  }
  for (at = out.find("\n  "); at != std::string::npos; at = out.find("\n  ", at + 1)) {
    enrolment.recoveryCodes.push_back(out.substr(at + 3, out.find('\n', at + 1) - at - 3));
  }
  return enrolment;
}

// The code an authenticator app shows now for `secret`.
std::string codeNow(const std::string& secret) {
  return hotpCode(base32Decode(secret).value(),
                  static_cast<uint64_t>(totpStep(static_cast<int64_t>(std::time(nullptr)))));
}

struct Answer {
  int status = -1;
  std::string body;
  std::string cookie;  // the session's "gsadmin_session=..." when one began
};

// POST /api/login as JSON, with `code` unless it is null.
Answer logInWith(int port, const std::string& name, const std::string& password, const char* code) {
  json body = {{"name", name}, {"password", password}};
  if (code) body["code"] = code;
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(10, 0);
  httplib::Result result = http.Post("/api/login", body.dump(), "application/json");
  if (!result) return {};
  std::string cookie = result->get_header_value("Set-Cookie");
  return {result->status, result->body, cookie.substr(0, cookie.find(';'))};
}

int sessionStatus(int port, const std::string& cookie) {
  httplib::Client http("127.0.0.1", port);
  httplib::Result result = http.Get("/api/session", {{"Cookie", cookie}});
  return result ? result->status : -1;
}

const char kWrong[] = R"({"error":"wrong name, password or code"})";

TEST_F(PanelEndToEndTest, EnrolledLoginsNeedTheCodeOnceAndEachRecoveryCodeOnce) {
  std::string users = writeUsers(dir_);
  Enrolment mia = enrol("mia", users);
  ASSERT_EQ(mia.status, 0) << mia.output;
  ASSERT_EQ(mia.secret.size(), 32u) << mia.output;
  ASSERT_EQ(mia.recoveryCodes.size(), 10u) << mia.output;
  EXPECT_NE(mia.output.find("otpauth://totp/gsadmin:mia?secret=" + mia.secret), std::string::npos);

  startClient({"--http=127.0.0.1:0", "--http-users=" + users});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->errorOutput();

  std::string code = codeNow(mia.secret);
  std::string other = code == "000000" ? "000001" : "000000";
  // With the replay and the reused recovery code below, five failures: the
  // account's limit a minute, so each is still checked.
  const struct {
    const char* what;
    std::string password;
    const char* code;
  } refused[] = {
      {"no code", "secret", nullptr},
      {"a wrong code", "secret", other.c_str()},
      {"a wrong password with the code", "wrong", code.c_str()},
  };
  for (const auto& c : refused) {
    Answer answer = logInWith(port, "mia", c.password, c.code);
    EXPECT_EQ(answer.status, 401) << c.what;
    EXPECT_EQ(answer.body, kWrong) << c.what << ": the same answer for each";
  }
  Answer in = logInWith(port, "mia", "secret", code.c_str());
  ASSERT_EQ(in.status, 200) << in.body;
  EXPECT_EQ(sessionStatus(port, in.cookie), 200);
  Answer replay = logInWith(port, "mia", "secret", code.c_str());
  EXPECT_EQ(replay.status, 401) << "the same code again";
  EXPECT_EQ(replay.body, kWrong);

  // A recovery code, typed in capitals without its dashes, works once.
  std::string recovery = mia.recoveryCodes[4];
  std::string typed;
  for (char c : recovery) {
    if (c != '-') typed += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  EXPECT_EQ(logInWith(port, "mia", "secret", typed.c_str()).status, 200);
  std::string error;
  std::string text = readPrivateFile(users, 100000, &error).value_or("");
  EXPECT_EQ(text.find("recovery=4:"), std::string::npos) << "struck out of the file";
  EXPECT_NE(text.find("recovery=5:"), std::string::npos);
  Answer reused = logInWith(port, "mia", "secret", recovery.c_str());
  EXPECT_EQ(reused.status, 401);
  EXPECT_EQ(reused.body, kWrong);
  // Wrong codes count as wrong passwords do: the account's five a minute
  // are spent, and guessing codes stops here.
  EXPECT_EQ(logInWith(port, "mia", "secret", mia.recoveryCodes[5].c_str()).status, 429);
  // alice has no secret: her password alone, and a code is ignored.
  EXPECT_EQ(logInWith(port, "alice", "secret", nullptr).status, 200);
  EXPECT_EQ(logInWith(port, "alice", "secret", "123456").status, 200);
}

TEST_F(PanelEndToEndTest, AUsedRecoveryCodeStaysUsedAfterARestart) {
  std::string users = writeUsers(dir_);
  Enrolment mia = enrol("mia", users);
  ASSERT_EQ(mia.recoveryCodes.size(), 10u) << mia.output;
  startClient({"--http=127.0.0.1:0", "--http-users=" + users});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->errorOutput();
  EXPECT_EQ(logInWith(port, "mia", "secret", mia.recoveryCodes[0].c_str()).status, 200);
  Answer again = logInWith(port, "mia", "secret", mia.recoveryCodes[0].c_str());
  EXPECT_EQ(again.status, 401);
  EXPECT_EQ(again.body, kWrong);

  client_.reset();
  startClient({"--http=127.0.0.1:0", "--http-users=" + users});
  port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->errorOutput();
  EXPECT_EQ(logInWith(port, "mia", "secret", mia.recoveryCodes[0].c_str()).status, 401);
  EXPECT_EQ(logInWith(port, "mia", "secret", "").body, kWrong) << "an empty code";
  EXPECT_EQ(logInWith(port, "mia", "secret", mia.recoveryCodes[9].c_str()).status, 200);
}

TEST_F(PanelEndToEndTest, ARecoveryCodeTheFileCannotLoseGetsInOnceAndTheOperatorIsTold) {
  std::string users = writeUsers(dir_);
  Enrolment mia = enrol("mia", users);
  ASSERT_EQ(mia.recoveryCodes.size(), 10u) << mia.output;
  startClient({"--http=127.0.0.1:0", "--http-users=" + users});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->errorOutput();
  // The file becomes a link, which is never written through (as a
  // service's read-only copy is never written).
  std::string copy = dir_.path() + "/users.copy";
  ASSERT_EQ(rename(users.c_str(), copy.c_str()), 0);
  ASSERT_EQ(symlink(copy.c_str(), users.c_str()), 0);
  EXPECT_EQ(logInWith(port, "mia", "secret", mia.recoveryCodes[7].c_str()).status, 200);
  EXPECT_EQ(logInWith(port, "mia", "secret", mia.recoveryCodes[7].c_str()).status, 401);
  std::string told =
      "gsadmin: --http-users: mia used recovery code 7, not struck out of the "
      "file (" +
      users +
      " is a symbolic link): it works again after a restart; "
      "enrol mia anew";
  for (int i = 0; i < 200 && client_->errorOutput().find(told) == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(client_->errorOutput().find(told), std::string::npos) << client_->errorOutput();
}

TEST_F(PanelEndToEndTest, RequireTotpAsksACodeFromItsLevelUp) {
  std::string users = writeUsers(dir_);
  startClient({"--http=127.0.0.1:0", "--http-users=" + users, "--require-totp=2"});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->errorOutput();
  Answer alice = logInWith(port, "alice", "secret", nullptr);
  EXPECT_EQ(alice.status, 403);
  EXPECT_EQ(alice.body,
            R"({"error":"this account must log in with a one-time code: enrol it with gsadmin )"
            R"(--enroll-totp"})");
  EXPECT_EQ(logInWith(port, "alice", "wrong", nullptr).body, kWrong) << "a stranger learns nothing";
  EXPECT_EQ(logInWith(port, "mia", "secret", nullptr).status, 200) << "level 1 is below";
  EXPECT_NE(client_->errorOutput().find(
                "gsadmin: warning: --require-totp: alice cannot log in to the panel until "
                "enrolled with --enroll-totp"),
            std::string::npos)
      << client_->errorOutput();
  EXPECT_EQ(client_->errorOutput().find("--require-totp: mia"), std::string::npos);

  // Enrolled, and taken at the hang-up: alice gets in with her code.
  Enrolment enrolled = enrol("alice", users);
  ASSERT_EQ(enrolled.status, 0) << enrolled.output;
  client_->kill(SIGHUP);
  ASSERT_TRUE(client_->waitForLine("PANEL: 2 accounts reloaded", 10000));
  EXPECT_EQ(logInWith(port, "alice", "secret", codeNow(enrolled.secret).c_str()).status, 200);
}

TEST_F(PanelEndToEndTest, AHangUpEndsTheLoginsOfAChangedSecretOrPasswordOnly) {
  std::string users = writeUsers(dir_);
  Enrolment first = enrol("mia", users);
  ASSERT_EQ(first.status, 0) << first.output;
  startClient({"--http=127.0.0.1:0", "--http-users=" + users});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->errorOutput();
  Answer mia = logInWith(port, "mia", "secret", codeNow(first.secret).c_str());
  Answer alice = logInWith(port, "alice", "secret", nullptr);
  ASSERT_EQ(mia.status, 200) << mia.body;
  ASSERT_EQ(alice.status, 200);

  // Nothing changed: nothing ends.
  client_->kill(SIGHUP);
  EXPECT_TRUE(client_->waitForLine("PANEL: 2 accounts reloaded, 0 logins ended", 10000));
  EXPECT_EQ(sessionStatus(port, mia.cookie), 200);

  Enrolment second = enrol("mia", users);
  ASSERT_EQ(second.status, 0) << second.output;
  client_->kill(SIGHUP);
  EXPECT_TRUE(client_->waitForLine("PANEL: 2 accounts reloaded, 1 logins ended", 10000));
  EXPECT_EQ(sessionStatus(port, mia.cookie), 401) << "the secret changed";
  EXPECT_EQ(sessionStatus(port, alice.cookie), 200);
  EXPECT_EQ(logInWith(port, "mia", "secret", second.recoveryCodes[1].c_str()).status, 200);
  EXPECT_EQ(logInWith(port, "mia", "secret", first.recoveryCodes[2].c_str()).status, 401)
      << "the old codes went with the old secret";

  // A new password for alice ends hers.
  std::string error;
  std::string text = readPrivateFile(users, 100000, &error).value_or("");
  size_t line = text.find("alice 4 ");
  size_t end = text.find('\n', line);
  text.replace(line, end - line, "alice 4 " + *hashPassword("changed"));
  ASSERT_TRUE(writePrivateFile(users, text, &error)) << error;
  client_->kill(SIGHUP);
  EXPECT_TRUE(client_->waitForLine("PANEL: 2 accounts reloaded, 1 logins ended", 10000));
  EXPECT_EQ(sessionStatus(port, alice.cookie), 401);
  EXPECT_EQ(logInWith(port, "alice", "changed", nullptr).status, 200);

  // A file that no longer reads keeps the accounts as they were.
  ASSERT_EQ(chmod(users.c_str(), 0644), 0);
  client_->kill(SIGHUP);
  std::string kept = "gsadmin: --http-users: kept the accounts as they were: " + users +
                     " is readable by group or others; make it private (chmod 600)";
  for (int i = 0; i < 200 && client_->errorOutput().find(kept) == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(client_->errorOutput().find(kept), std::string::npos) << client_->errorOutput();
  EXPECT_EQ(logInWith(port, "alice", "changed", nullptr).status, 200);
  client_.reset();
}

}  // namespace
}  // namespace gsadmin::testing
