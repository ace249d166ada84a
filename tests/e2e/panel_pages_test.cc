// The panel's history, bans, audit and charts through the real binary with
// the moderation on, the routes without a session, and the page's files.

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <nlohmann/json.hpp>

#include "protocol/outbound.h"
#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

// GET `path` as `user`: its status and its JSON body (null when none).
std::pair<int, json> get(httplib::Client& http, const WebUser& user, const std::string& path) {
  httplib::Result result = http.Get(path, headersOf(user));
  if (!result) return {-1, nullptr};
  return {result->status, json::parse(result->body, nullptr, false)};
}

// POST /api/actions with `body` as `user`: its status.
int act(httplib::Client& http, const WebUser& user, const json& body, bool withCsrf = true) {
  httplib::Result result =
      http.Post("/api/actions", headersOf(user, withCsrf), body.dump(), "application/json");
  return result ? result->status : -1;
}

// The client with the moderation on, Bob (3, who said "hello there") and
// Carol (5) on the server, and alice (level 4) and mia (level 1) logged in.
class PanelPagesTest : public PanelEndToEndTest {
 protected:
  void SetUp() override {
    startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)}, true);
    int port = portOf(*client_, "Panel");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}, {5, "Carol"}}));
    ASSERT_TRUE(peer_.send(playerDetails(3, "key-bob")));
    ASSERT_TRUE(peer_.send(chatLine(3, 1, "hello there")));
    ASSERT_TRUE(client_->waitForLine("hello there"));
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    http_->set_read_timeout(10, 0);
    alice_ = logIn(*http_, "alice", "secret");
    mia_ = logIn(*http_, "mia", "secret");
    ASSERT_TRUE(alice_ && mia_);
  }

  std::unique_ptr<httplib::Client> http_;
  std::optional<WebUser> alice_, mia_;
};

TEST_F(PanelPagesTest, ATypedKickIsTheAccountsInTheAuditAndTheHistory) {
  httplib::Client& http = *http_;
  EXPECT_EQ(act(http, *alice_, {{"action", "command"}, {"line", ".kick Bob spam"}}), 200);
  EXPECT_TRUE(client_->waitForLine("* panel:alice kicked Bob: spam")) << client_->output();
  auto [status, audit] = get(http, *alice_, "/api/audit");
  ASSERT_EQ(status, 200);
  ASSERT_GE(audit.size(), 2u) << audit;
  // Its number (rising) and server say where it stands among the others.
  EXPECT_GT(audit[0]["id"], audit[1]["id"]);
  EXPECT_EQ(audit[0], (json{{"time", audit[0]["time"]},
                            {"actor", "panel:alice"},
                            {"action", "kick"},
                            {"target", "Bob"},
                            {"detail", "spam"},
                            {"id", audit[0]["id"]},
                            {"server", audit[0]["server"]},
                            {"sanction", 1}}));
  EXPECT_EQ(audit[1]["actor"], "panel:alice");
  EXPECT_EQ(audit[1]["sanction"], nullptr) << "a typed line is no sanction";
  EXPECT_EQ(audit[1]["detail"], ".kick Bob spam");

  // Found by a part of the name, with the kick and the chat.
  auto [found, players] = get(http, *mia_, "/api/players/search?q=bo");
  EXPECT_EQ(found, 200);
  ASSERT_EQ(players.size(), 1u) << players;
  EXPECT_EQ(players[0]["name"], "Bob");
  EXPECT_EQ(players[0]["visits"], 1);
  auto [known, bob] = get(http, *mia_, "/api/history?name=bob");
  ASSERT_EQ(known, 200) << bob;
  EXPECT_EQ(bob["player"]["name"], "Bob");
  EXPECT_EQ(bob["online"], 3);
  ASSERT_EQ(bob["sanctions"].size(), 1u);
  EXPECT_EQ(bob["sanctions"][0]["kind"], "kick");
  EXPECT_EQ(bob["sanctions"][0]["actor"], "alice");
  ASSERT_EQ(bob["chat"].size(), 1u);
  EXPECT_EQ(bob["chat"][0]["text"], "hello there");
  EXPECT_EQ(bob["chat"][0]["recipient"], nullptr);
  EXPECT_EQ(get(http, *mia_, "/api/history?name=nobody").first, 404);
  EXPECT_EQ(get(http, *mia_, "/api/history?name=bob&lines=0").first, 400);
  EXPECT_EQ(get(http, *mia_, "/api/history").first, 400);
}

TEST_F(PanelPagesTest, BansWithUnbanAndTheCharts) {
  httplib::Client& http = *http_;
  // A tempban listed; an unban refused without CSRF and below level 2.
  EXPECT_EQ(act(http, *alice_, {{"action", "tempban"}, {"player", 5}, {"duration", "1h"}}), 200);
  json bans = get(http, *mia_, "/api/bans").second;
  ASSERT_EQ(bans.size(), 1u) << bans;
  EXPECT_EQ(bans[0]["name"], "Carol");
  json unban = {{"action", "unban"}, {"name", "Carol"}};
  EXPECT_EQ(act(http, *alice_, unban, false), 403) << "no CSRF token";
  EXPECT_EQ(act(http, *mia_, unban), 409) << "level 1";
  EXPECT_EQ(get(http, *mia_, "/api/bans").second.size(), 1u);
  EXPECT_EQ(act(http, *alice_, unban), 200);
  EXPECT_EQ(get(http, *mia_, "/api/bans").second, json::array());

  // Bob's visit is open and he is on the server; his line was chat.
  auto [charted, charts] = get(http, *mia_, "/api/charts?range=day");
  ASSERT_EQ(charted, 200) << charts;
  EXPECT_EQ(charts["players"]["values"].size(), 144u);
  EXPECT_EQ(charts["players"]["values"].back(), 1);
  ASSERT_EQ(charts["chat"]["values"].size(), 1440u);
  int chat = 0;
  for (const json& count : charts["chat"]["values"]) chat += count.get<int>();
  EXPECT_EQ(chat, 1);
  EXPECT_EQ(charts["chat"]["step"], 60);
  size_t kills = charts["kills"]["values"].size();
  EXPECT_TRUE(kills == 0 || kills == 1440) << kills;
  EXPECT_EQ(get(http, *mia_, "/api/charts").second["chat"]["values"].size(), 60u);
  EXPECT_EQ(get(http, *mia_, "/api/charts?range=week").first, 400);
}

TEST_F(PanelEndToEndTest, RoutesWithoutASessionOrModerationAndThePagesFiles) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
  httplib::Client http("127.0.0.1", port);
  const char* reads[] = {"/api/players/search?q=b", "/api/history?name=Bob", "/api/charts"};
  for (const char* path : reads) EXPECT_EQ(http.Get(path)->status, 401) << path;
  std::optional<WebUser> mia = logIn(http, "mia", "secret");
  ASSERT_TRUE(mia);
  for (const char* path : reads) {
    auto [status, body] = get(http, *mia, path);
    EXPECT_EQ(status, 503) << path;
    EXPECT_EQ(body["error"], "the moderation is off") << path;
  }

  const struct {
    const char* path;
    const char* type;  // empty: not found
  } files[] = {
      {"/", "text/html; charset=utf-8"},
      {"/index.html", "text/html; charset=utf-8"},
      {"/app.js", "text/javascript; charset=utf-8"},
      {"/app.css", "text/css; charset=utf-8"},
      {"/uPlot.iife.min.js", "text/javascript; charset=utf-8"},
      {"/uPlot.min.css", "text/css; charset=utf-8"},
      {"/appXjs", ""},
      {"/assets/app.js", ""},
      {"/%2e%2e/CMakeLists.txt", ""},
  };
  for (const auto& file : files) {
    httplib::Result result = http.Get(file.path);
    ASSERT_TRUE(result) << file.path;
    EXPECT_EQ(result->status, *file.type ? 200 : 404) << file.path;
    if (*file.type) {
      EXPECT_EQ(result->get_header_value("Content-Type"), file.type) << file.path;
    }
  }
}

}  // namespace
}  // namespace gsadmin::testing
