// The panel's actions through the real binary: chat is chat unless the
// account may command, and an action is carried out once or not at all,
// however late the loop comes to it and however often it is asked for.

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "protocol/outbound.h"
#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

// "spin MS" on the admin channel keeps the loop busy for MS milliseconds.
const char kBusyScript[] = R"lua(
addEventHandler('onAdminChat', 'chat')
function chat(text)
  local ms = tonumber(string.match(text, '^spin (%d+)$'))
  if not ms then return end
  print('script: spinning')
  local start = getTickCount()
  while getTickCount() - start < ms do end
  print('script: spun')
end
)lua";

struct Answer {
  int status = -1;
  json body;
};

// The client with the busy script, Bob (3) on the server, and alice (level
// 4) and mia (level 1) logged in; the moderation is off.
class PanelActionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client_ = std::make_unique<ClientProcess>(
        std::vector<std::string>{"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_),
                                 "--no-moderation", "--script-budget=30000", "--no-input",
                                 "127.0.0.1", std::to_string(peer_.port()), "Admin", "pw"},
        kBusyScript);
    int port = portOf(*client_, "Panel");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}}));
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    http_->set_read_timeout(20, 0);
    alice_ = logIn(*http_, "alice", "secret");
    mia_ = logIn(*http_, "mia", "secret");
    ASSERT_TRUE(alice_ && mia_);
  }

  Answer act(const WebUser& user, const json& body) {
    httplib::Result result =
        http_->Post("/api/actions", headersOf(user), body.dump(), "application/json");
    if (!result) return {};
    return {result->status, json::parse(result->body, nullptr, false)};
  }

  Answer outcome(const WebUser& user, const std::string& id) {
    httplib::Result result = http_->Get("/api/actions/" + id, headersOf(user, false));
    if (!result) return {};
    return {result->status, json::parse(result->body, nullptr, false)};
  }

  // Asks after `id` until it is no longer pending (at most 30 s).
  Answer settled(const WebUser& user, const std::string& id) {
    Answer answer = outcome(user, id);
    for (int i = 0; i < 300 && answer.status == 202; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      answer = outcome(user, id);
    }
    return answer;
  }

  // Keeps the loop busy for `ms`, from about the moment this returns.
  void busyLoop(int ms) {
    ASSERT_TRUE(peer_.send(chatLine(0, 3, "spin " + std::to_string(ms))));
    ASSERT_TRUE(client_->waitForLine("script: spinning"));
  }

  // Sends a marker chat line as alice: the next datagram the server gets
  // must be it, so that nothing else was sent before.
  void expectNothingElseSent() {
    EXPECT_EQ(act(*alice_, {{"action", "chat"}, {"text", "marker"}}).status, 200);
    EXPECT_EQ(nextCommand(peer_), buildChatFrame("marker"));
  }

  TempDir dir_;
  LoopbackPeer peer_;
  std::unique_ptr<ClientProcess> client_;
  std::unique_ptr<httplib::Client> http_;
  std::optional<WebUser> alice_, mia_;
};

TEST_F(PanelActionsTest, AServerCommandInChatNeedsTheCommandLevel) {
  for (const char* text : {"/slap Bob", " \t/kick Bob"}) {
    Answer refused = act(*mia_, {{"action", "chat"}, {"text", text}});
    EXPECT_EQ(refused.status, 409) << text;
    EXPECT_EQ(refused.body["error"],
              "your level may not command: a chat text starting with / is a server command");
    EXPECT_EQ(refused.body["state"], "not done");
  }
  EXPECT_EQ(act(*mia_, {{"action", "chat"}, {"text", "gg, see /help"}}).status, 200);
  EXPECT_EQ(nextCommand(peer_), buildChatFrame("gg, see /help"));
  Answer done = act(*alice_, {{"action", "chat"}, {"text", "/slap Bob"}});
  EXPECT_EQ(done.status, 200) << done.body;
  EXPECT_EQ(done.body["state"], "done");
  EXPECT_EQ(nextCommand(peer_), buildChatFrame("/slap Bob"));
  expectNothingElseSent();
}

TEST_F(PanelActionsTest, ARetryWithTheSameIdActsOnce) {
  json slap = {{"action", "slap"}, {"player", 3}, {"id", "slap-bob-1"}};
  busyLoop(3500);  // longer than the answer's 2 s, shorter than the deadline's 5
  Answer first = act(*mia_, slap);
  EXPECT_EQ(first.status, 202) << first.body;
  EXPECT_EQ(first.body["id"], "slap-bob-1");
  EXPECT_EQ(first.body["state"], "pending");
  Answer retry = act(*mia_, slap);
  EXPECT_TRUE(retry.status == 202 || retry.status == 200) << retry.status;

  Answer result = settled(*mia_, "slap-bob-1");
  EXPECT_EQ(result.status, 200) << result.body;
  EXPECT_EQ(result.body["state"], "done");
  EXPECT_EQ(act(*mia_, slap).body["state"], "done");
  EXPECT_EQ(nextCommand(peer_), buildChatFrame("/slap Bob"));
  expectNothingElseSent();

  // Another account's ids are not the account's; an id names one action.
  EXPECT_EQ(outcome(*alice_, "slap-bob-1").status, 404);
  Answer other = act(*mia_, {{"action", "chat"}, {"text", "hi"}, {"id", "slap-bob-1"}});
  EXPECT_EQ(other.status, 409);
  EXPECT_EQ(act(*mia_, {{"action", "chat"}, {"text", "hi"}, {"id", "no spaces"}}).status, 400);
}

TEST_F(PanelActionsTest, AnActionTheLoopCouldNotStartByItsDeadlineIsNeverCarriedOut) {
  busyLoop(8000);
  Answer first = act(*mia_, {{"action", "kick"}, {"player", 3}, {"id", "kick-1"}});
  EXPECT_EQ(first.status, 202) << first.body;
  Answer result = settled(*mia_, "kick-1");
  EXPECT_EQ(result.status, 503) << result.body;
  EXPECT_EQ(result.body["state"], "not done");
  ASSERT_TRUE(client_->waitForLine("script: spun", 30000));
  EXPECT_EQ(outcome(*mia_, "kick-1").body["state"], "not done") << "for good";
  expectNothingElseSent();
}

}  // namespace
}  // namespace gsadmin::testing
