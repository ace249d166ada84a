// The panel's API tokens through the real binary: made, listed and revoked
// from the command line, a read token that reads but gets 403 on every POST
// route the API describes, an act token whose acts are audited under its
// label and that may not command, and a revocation that counts at once.

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "panel/password_hash.h"
#include "platform/private_file.h"
#include "support/admin_login.h"
#include "support/panel_client.h"
#include "support/text_file.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

struct CommandRun {
  int status = -1;
  std::string output;
  std::string errors;
};

CommandRun runGsadmin(const std::vector<std::string>& args) {
  ClientProcess process(args, std::nullopt);
  CommandRun run;
  run.status = process.waitExit(10000);
  process.readToEnd(2000);
  run.output = process.output();
  run.errors = process.errorOutput();
  return run;
}

httplib::Headers bearer(const std::string& token) {
  return {{"Authorization", "Bearer " + token}};
}

class PanelTokensTest : public PanelEndToEndTest {
 protected:
  void SetUp() override {
    users_ = writeUsers(dir_);
    readToken_ = newToken({"--scope=read", "--token-name=reader"});
    actToken_ = newToken({"--scope=act", "--token-name=bot", "--expires=1d"});
    ASSERT_FALSE(readToken_.empty());
    ASSERT_FALSE(actToken_.empty());
    startClient(
        {"--http=127.0.0.1:0", "--http-users=" + users_, "--db=" + dir_.path() + "/records.db"},
        true);
    int port = portOf(*client_, "Panel");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}}));
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    http_->set_read_timeout(10, 0);
  }

  // The token printed by --new-token for alice, or empty.
  std::string newToken(std::vector<std::string> options) {
    options.insert(options.begin(), {"--new-token=alice", "--http-users=" + users_});
    CommandRun run = runGsadmin(options);
    EXPECT_EQ(run.status, 0) << run.errors;
    return run.output.substr(0, run.output.find('\n'));
  }

  int status(const httplib::Result& result) { return result ? result->status : -1; }

  std::string users_;
  std::string readToken_;
  std::string actToken_;
  std::unique_ptr<httplib::Client> http_;
};

TEST_F(PanelTokensTest, AReadTokenReadsAndIsRefusedEveryPostRoute) {
  EXPECT_EQ(status(http_->Get("/api/players", bearer(readToken_))), 200);
  EXPECT_EQ(status(http_->Get("/api/players", bearer(readToken_ + "0"))), 401);
  EXPECT_EQ(status(http_->Get("/api/players", bearer(""))), 401);
  json description = json::parse(readSourceFile("docs/openapi.json"));
  int walked = 0;
  for (const auto& [path, item] : description["paths"].items()) {
    if (!item.contains("post") || path == "/api/login") continue;
    httplib::Result result = http_->Post(path, bearer(readToken_),
                                         R"({"action":"kick","player":3})", "application/json");
    EXPECT_EQ(status(result), 403) << path;
    ++walked;
  }
  EXPECT_GE(walked, 3);
  EXPECT_EQ(client_->output().find("kicked"), std::string::npos);
}

TEST_F(PanelTokensTest, AnActTokensActsAreAuditedUnderItsLabelAndItMayNotCommand) {
  // The kick names Bob, whom the client knows once his details came.
  bool listed = false;
  for (int i = 0; i < 50 && !listed; ++i) {
    httplib::Result players = http_->Get("/api/players", bearer(readToken_));
    listed = players && players->body.find("\"Bob\"") != std::string::npos;
    if (!listed) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(listed);
  httplib::Result kick = http_->Post("/api/actions", bearer(actToken_),
                                     R"({"action":"kick","player":3,"name":"Bob","reason":"spam"})",
                                     "application/json");
  ASSERT_EQ(status(kick), 200) << kick->body;
  EXPECT_TRUE(client_->waitForLine("* panel:alice (token bot) kicked Bob: spam", 5000))
      << client_->output();
  httplib::Result command =
      http_->Post("/api/actions", bearer(actToken_), R"({"action":"command","line":".players"})",
                  "application/json");
  EXPECT_EQ(status(command), 409);
  EXPECT_EQ(status(http_->Get("/api/tokens", bearer(actToken_))), 403);
  httplib::Result audit = http_->Get("/api/audit", bearer(readToken_));
  ASSERT_EQ(status(audit), 200);
  json lines = json::parse(audit->body);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0]["actor"], "panel:alice (token bot)");
  EXPECT_EQ(lines[0]["action"], "kick");
}

TEST_F(PanelTokensTest, TokensAreListedAndARevocationCountsAtOnce) {
  CommandRun listed = runGsadmin({"--list-tokens", "--http-users=" + users_});
  EXPECT_EQ(listed.status, 0) << listed.errors;
  EXPECT_NE(listed.output.find("reader alice read, expires "), std::string::npos) << listed.output;
  EXPECT_NE(listed.output.find("bot alice act, expires "), std::string::npos) << listed.output;
  EXPECT_EQ(listed.output.find("gsat_"), std::string::npos) << "the list shows no token";

  std::optional<WebUser> alice = logIn(*http_, "alice", "secret");
  ASSERT_TRUE(alice);
  httplib::Result panelList = http_->Get("/api/tokens", headersOf(*alice));
  ASSERT_EQ(status(panelList), 200);
  EXPECT_EQ(json::parse(panelList->body)["tokens"].size(), 2u);

  CommandRun revoked = runGsadmin({"--revoke-token=reader", "--http-users=" + users_});
  EXPECT_EQ(revoked.status, 0) << revoked.errors;
  bool refused = false;
  for (int i = 0; i < 40 && !refused; ++i) {
    refused = status(http_->Get("/api/players", bearer(readToken_))) == 401;
    if (!refused) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(refused) << "a token revoked on the command line still opened the API";

  httplib::Result viaPanel = http_->Post("/api/tokens/revoke", headersOf(*alice),
                                         R"({"label":"bot"})", "application/json");
  EXPECT_EQ(status(viaPanel), 200);
  EXPECT_EQ(status(http_->Get("/api/players", bearer(actToken_))), 401);
  httplib::Result audit = http_->Get("/api/audit", headersOf(*alice));
  ASSERT_EQ(status(audit), 200);
  json lines = json::parse(audit->body);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0]["action"], "token revoke");
  EXPECT_EQ(lines[0]["actor"], "panel:alice");
  EXPECT_EQ(lines[0]["detail"], "bot");
  CommandRun again = runGsadmin({"--revoke-token=bot", "--http-users=" + users_});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.errors, "gsadmin: --revoke-token: no token is labelled bot\n");
}

// With --revoke-tokens-on-change, a hang-up that finds alice's password
// changed revokes her tokens; mia's, unchanged, keep working.
TEST_F(PanelEndToEndTest, AChangedPasswordRevokesTheAccountsTokensWhereAsked) {
  std::string users = writeUsers(dir_);
  auto make = [&users](const char* account, const char* label) {
    CommandRun run = runGsadmin({std::string("--new-token=") + account, "--http-users=" + users,
                                 std::string("--token-name=") + label});
    return run.output.substr(0, run.output.find('\n'));
  };
  std::string alices = make("alice", "a1");
  std::string mias = make("mia", "m1");
  startClient({"--http=127.0.0.1:0", "--http-users=" + users, "--revoke-tokens-on-change"});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->errorOutput();
  httplib::Client http("127.0.0.1", port);
  ASSERT_EQ(http.Get("/api/session", bearer(alices))->status, 200);

  std::string text = readTextFile(users).value_or("");
  std::string error;
  ASSERT_TRUE(writePrivateFile(
      users, "alice 4 " + *hashPassword("changed") + "\n" + text.substr(text.find("mia ")), &error))
      << error;
  client_->kill(SIGHUP);
  EXPECT_TRUE(
      client_->waitForLine("PANEL: 2 accounts reloaded, 0 logins ended, 1 tokens revoked", 10000))
      << client_->output() << client_->errorOutput();
  EXPECT_EQ(http.Get("/api/session", bearer(alices))->status, 401);
  EXPECT_EQ(http.Get("/api/session", bearer(mias))->status, 200);
  CommandRun list = runGsadmin({"--list-tokens", "--http-users=" + users});
  EXPECT_EQ(list.output.find("a1"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("m1"), std::string::npos) << list.output;
}

TEST(TokenCommandsTest, MistakesGetOneLineAndAStatus) {
  TempDir dir;
  std::string users = writeUsers(dir);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string error;
  } cases[] = {
      {{"--new-token=alice"}, 2, "gsadmin: --new-token: needs --http-users=FILE\n"},
      {{"--new-token=nobody", "--http-users=" + users},
       2,
       "gsadmin: --new-token: no account nobody in " + users + "\n"},
      {{"--scope=read", "--http-users=" + users},
       2,
       "gsadmin: --scope, --expires and --token-name go with --new-token\n"},
      {{"--new-token=alice", "--scope=write", "--http-users=" + users}, 2, "--scope"},
      {{"--new-token=alice", "--expires=soon", "--http-users=" + users}, 2, "--expires"},
      {{"--list-tokens", "--http-users=" + users}, 0, ""},
  };
  for (const Case& c : cases) {
    CommandRun run = runGsadmin(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0] << " " << run.errors;
    if (c.error.ends_with("\n")) {
      EXPECT_EQ(run.errors, c.error);
    } else {
      EXPECT_NE(run.errors.find(c.error), std::string::npos) << run.errors;
    }
  }
}

}  // namespace
}  // namespace gsadmin::testing
