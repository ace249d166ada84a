// The panel's acts on players who are not on the server, through the real
// binary with the moderation on: the recent players, the acts by name, the
// unban's answer, and the server sent with the players on the stream.

#include <gtest/gtest.h>
#include <httplib.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "protocol/outbound.h"
#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

constexpr int kLineWaitMs = 5000;

std::pair<int, json> get(httplib::Client& http, const WebUser& user, const std::string& path) {
  httplib::Result result = http.Get(path, headersOf(user));
  if (!result) return {-1, nullptr};
  return {result->status, json::parse(result->body, nullptr, false)};
}

// POST /api/actions with `body` as `user`: its status and JSON answer.
std::pair<int, json> act(httplib::Client& http, const WebUser& user, const json& body) {
  httplib::Result result =
      http.Post("/api/actions", headersOf(user), body.dump(), "application/json");
  if (!result) return {-1, nullptr};
  return {result->status, json::parse(result->body, nullptr, false)};
}

// Bob (3) and Carol (5) came; Bob has left. alice (level 4) and mia
// (level 1) are logged in.
class PanelRecentTest : public PanelEndToEndTest {
 protected:
  void SetUp() override {
    startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)}, true);
    int port = portOf(*client_, "Panel");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}, {5, "Carol"}}));
    ASSERT_TRUE(peer_.send(playerDetails(3, "key-bob")));
    ASSERT_TRUE(peer_.send(playerLeft(wire::kQuitLeft, 3)));
    ASSERT_TRUE(client_->waitForLine("Bob has left the game", kLineWaitMs));
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    http_->set_read_timeout(10, 0);
    alice_ = logIn(*http_, "alice", "secret");
    mia_ = logIn(*http_, "mia", "secret");
    ASSERT_TRUE(alice_ && mia_);
  }

  std::unique_ptr<httplib::Client> http_;
  std::optional<WebUser> alice_, mia_;
};

TEST_F(PanelRecentTest, RecentPlayersAreBoundedAndTheirWindowChecked) {
  httplib::Client& http = *http_;
  auto [status, recent] = get(http, *mia_, "/api/players/recent");
  ASSERT_EQ(status, 200) << recent;
  ASSERT_TRUE(recent.is_array()) << recent;
  bool bob = false;
  for (const json& player : recent) {
    bob = bob || player["name"] == "Bob";
    EXPECT_TRUE(player.contains("lastSeen")) << player;
  }
  EXPECT_TRUE(bob) << "Bob, who left, is among the recent: " << recent;
  EXPECT_EQ(get(http, *mia_, "/api/players/recent?hours=168").first, 200);
  for (const char* hours : {"0", "169", "abc", "", "1000", "-1"}) {
    EXPECT_EQ(get(http, *mia_, std::string("/api/players/recent?hours=") + hours).first, 400)
        << hours;
  }
  EXPECT_EQ(http.Get("/api/players/recent")->status, 401) << "no session";
}

// The page draws the acts on a name (note, unban) and on a ban (ban reason,
// ban length) from the session too.
TEST_F(PanelRecentTest, TheSessionListsTheActsOnANameWithTheirLevels) {
  json session = get(*http_, *mia_, "/api/session").second;
  std::map<std::string, int> levels;
  for (const json& act : session["acts"]) levels[act["name"]] = act["level"];
  EXPECT_EQ(levels["note"], 1) << session;
  EXPECT_EQ(levels["unban"], 2) << session;
  EXPECT_EQ(levels["ban"], 2) << session;
  EXPECT_EQ(levels["kick"], 1) << session;
  EXPECT_EQ(levels["ban reason"], 2) << session;
  EXPECT_EQ(levels["ban length"], 2) << session;
}

TEST_F(PanelRecentTest, APlayerWhoLeftIsActedOnByNameAndTheUnbanSaysWhatRemains) {
  httplib::Client& http = *http_;
  struct Case {
    json body;
    int status;
  };
  const Case cases[] = {
      {{{"action", "warn"}, {"name", "Bob"}, {"reason", "flood"}}, 200},
      {{{"action", "note"}, {"name", "Bob"}, {"text", "warned while away"}}, 200},
      {{{"action", "tempban"}, {"name", "Bob"}, {"duration", "2h"}, {"reason", "flood"}}, 200},
      // Bob's old id, sent with his name, acts on the name.
      {{{"action", "ban"}, {"player", 3}, {"name", "Bob"}, {"reason", "again"}}, 200},
      // A kick needs the player on the server.
      {{{"action", "kick"}, {"name", "Bob"}}, 409},
  };
  for (const Case& c : cases) EXPECT_EQ(act(http, *alice_, c.body).first, c.status) << c.body;
  json history = get(http, *mia_, "/api/history?name=Bob").second;
  EXPECT_EQ(history["sanctions"].size(), 3u) << history;
  EXPECT_EQ(history["notes"].size(), 1u) << history;

  // The unban is done, and says that a ban of the server's own would
  // remain; the console's line is as before.
  auto [lifted, answer] = act(http, *alice_, {{"action", "unban"}, {"name", "Bob"}});
  ASSERT_EQ(lifted, 200) << answer;
  EXPECT_EQ(answer["state"], "done");
  EXPECT_EQ(answer["note"],
            "lifted 2 of the client's ban(s) on Bob; if Bob was banned while on the server, the "
            "server's own ban remains: lift it on the server");
  EXPECT_TRUE(
      client_->waitForLine("* panel:alice lifted 2 ban(s) on Bob; a ban of the "
                           "server's own must be lifted on the server",
                           kLineWaitMs))
      << client_->output();
  auto [none, refused] = act(http, *alice_, {{"action", "unban"}, {"name", "Bob"}});
  EXPECT_EQ(none, 409);
  EXPECT_EQ(refused["error"], "no ban holds for Bob");
  EXPECT_FALSE(act(http, *alice_, {{"action", "warn"}, {"name", "Bob"}}).second.contains("note"));
}

TEST_F(PanelRecentTest, TheStreamSendsTheServerWithThePlayers) {
  // The server, with wall times, then the players of the same snapshot.
  std::string seen;
  http_->Get("/api/events", headersOf(*mia_, false), [&](const char* data, size_t length) {
    seen.append(data, length);
    return seen.find("event: players") == std::string::npos;
  });
  size_t server = seen.find("event: server\ndata: ");
  size_t players = seen.find("event: players\ndata: ");
  ASSERT_NE(server, std::string::npos) << seen;
  ASSERT_NE(players, std::string::npos) << seen;
  EXPECT_LT(server, players);
  size_t start = server + std::string("event: server\ndata: ").size();
  json state = json::parse(seen.substr(start, seen.find('\n', start) - start), nullptr, false);
  EXPECT_EQ(state["connected"], true) << state;
  EXPECT_EQ(state["players"], 1) << "Carol alone, as the players say";
  EXPECT_LE(state["clientStarted"].get<int64_t>(), state["now"].get<int64_t>());
  EXPECT_LE(state["lastDatagram"].get<int64_t>(), state["now"].get<int64_t>());
  EXPECT_FALSE(state.contains("uptimeMs")) << "times, not ages, which a stream would let go stale";
}

}  // namespace
}  // namespace gsadmin::testing
