// Changes to bans from the panel through the real binary: a new reason, a
// longer or shorter ban and an unban with a reason, each done by its act,
// audited once and seen by the searches; on SQLite and on PostgreSQL.

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <ctime>
#include <nlohmann/json.hpp>
#include <thread>

#include "support/panel_client.h"
#include "support/postgres_server.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

constexpr char kHostile[] = "=cmd|' /C calc'!A0, \"quoted\"";

class PanelBanEditsTest : public PanelEndToEndTest {
 protected:
  // Starts the client on `database` and bans Name1..Name3 for a day.
  void start(const std::string& database) {
    startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--db=" + database},
                true);
    int port = portOf(*client_, "Panel");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    ASSERT_TRUE(acceptLogin(peer_));
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    http_->set_read_timeout(10, 0);
    std::optional<WebUser> alice = logIn(*http_, "alice", "secret");
    std::optional<WebUser> mia = logIn(*http_, "mia", "secret");
    ASSERT_TRUE(alice && mia);
    alice_ = *alice;
    mia_ = *mia;
    for (const char* name : {"Name1", "Name2", "Name3"}) {
      ASSERT_EQ(
          act(alice_,
              {{"action", "tempban"}, {"name", name}, {"duration", "1d"}, {"reason", "first"}})
              .first,
          200);
    }
    json bans = getJson("/api/bans/search?q=name");
    ASSERT_EQ(bans["bans"].size(), 3u) << bans;
    for (const json& ban : bans["bans"]) ids_[ban["name"]] = ban["id"];
  }

  std::pair<int, json> act(const WebUser& user, const json& body) {
    httplib::Result result =
        http_->Post("/api/actions", headersOf(user), body.dump(), "application/json");
    if (!result) return {-1, json()};
    return {result->status, json::parse(result->body, nullptr, false)};
  }
  json getJson(const std::string& path) {
    httplib::Result result = http_->Get(path, headersOf(alice_));
    EXPECT_TRUE(result && result->status == 200) << path << (result ? result->body : "");
    return result ? json::parse(result->body, nullptr, false) : json();
  }
  json ban(const std::string& name) {
    json found = getJson("/api/bans/search?q=" + name);
    return found["bans"].empty() ? json() : found["bans"][0];
  }
  // The audit's lines of `action`, newest first.
  json audited(const std::string& action) {
    return getJson("/api/audit/search?action=" +
                   httplib::detail::encode_query_param(action))["audit"];
  }

  void editAndUnban() {
    int64_t first = ids_["Name1"];
    auto [reworded, answer] =
        act(alice_, {{"action", "ban reason"}, {"ban", first}, {"reason", kHostile}});
    ASSERT_EQ(reworded, 200) << answer;
    EXPECT_TRUE(client_->waitForLine("* panel:alice gave ban #" + std::to_string(first) +
                                     " on Name1 the reason: =cmd"));
    EXPECT_EQ(ban("name1")["reason"], kHostile);
    json lines = audited("ban reason");
    ASSERT_EQ(lines.size(), 1u) << lines;
    EXPECT_EQ(lines[0]["actor"], "panel:alice");
    EXPECT_EQ(lines[0]["target"], "Name1");
    EXPECT_EQ(lines[0]["detail"], "#" + std::to_string(first) + ": " + kHostile);

    // Longer, then so short that it has ended.
    json before = ban("name2");
    ASSERT_EQ(
        act(alice_, {{"action", "ban length"}, {"ban", ids_["Name2"]}, {"duration", "3d"}}).first,
        200);
    EXPECT_EQ(ban("name2")["until"], before["time"].get<int64_t>() + 3 * 86400);
    ASSERT_EQ(
        act(alice_, {{"action", "ban length"}, {"ban", ids_["Name2"]}, {"duration", 1}}).first,
        200);
    // One second after it was made: ended once the wall clock passes it.
    // Read as the client reads it: time() may lag the finer clock by a tick.
    int64_t until = ban("name2")["until"];
    EXPECT_EQ(until, before["time"].get<int64_t>() + 1);
    while (std::time(nullptr) < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(getJson("/api/bans/search?state=active&q=name2")["bans"].empty());
    EXPECT_EQ(getJson("/api/bans/search?state=ended&q=name2")["bans"].size(), 1u);
    EXPECT_EQ(audited("ban length").size(), 2u);

    // Typed at the console line of the panel, as the account.
    ASSERT_EQ(act(alice_, {{"action", "command"},
                           {"line", ".banreason #" + std::to_string(ids_["Name3"]) + " typed"}})
                  .first,
              200);
    EXPECT_TRUE(client_->waitForLine(" the reason: typed"));
    EXPECT_EQ(ban("name3")["reason"], "typed");

    auto [lifted, unban] =
        act(alice_, {{"action", "unban"}, {"name", "Name3"}, {"reason", "appeal accepted"}});
    ASSERT_EQ(lifted, 200) << unban;
    json unbans = audited("unban");
    ASSERT_EQ(unbans.size(), 1u) << unbans;
    EXPECT_EQ(unbans[0]["detail"], "appeal accepted");
    EXPECT_FALSE(ban("name3")["lifted"].is_null());
    // A lifted ban is not made to hold again.
    EXPECT_EQ(
        act(alice_, {{"action", "ban length"}, {"ban", ids_["Name3"]}, {"duration", "9d"}}).first,
        409);
  }

  void refusals() {
    struct Case {
      json body;
      int status;
      const char* error;
    } cases[] = {
        {{{"action", "ban reason"}, {"ban", 99999}, {"reason", "x"}},
         409,
         "there is no ban #99999"},
        {{{"action", "ban reason"}, {"ban", ids_["Name1"]}, {"reason", " "}},
         409,
         "a reason is needed"},
        {{{"action", "ban reason"}, {"ban", "12"}, {"reason", "x"}},
         400,
         "ban reason needs \"ban\", a ban's number"},
        {{{"action", "ban length"}, {"ban", ids_["Name1"]}}, 400, nullptr},
    };
    for (const Case& c : cases) {
      auto [status, answer] = act(alice_, c.body);
      EXPECT_EQ(status, c.status) << c.body << answer;
      if (c.error != nullptr) {
        EXPECT_EQ(answer["error"], c.error) << c.body;
      }
    }
    auto [status, answer] =
        act(mia_, {{"action", "ban reason"}, {"ban", ids_["Name1"]}, {"reason", "mine"}});
    EXPECT_EQ(status, 409);
    EXPECT_EQ(answer["error"], "your level may not ban reason");
  }

  std::unique_ptr<httplib::Client> http_;
  WebUser alice_;
  WebUser mia_;
  std::map<std::string, int64_t> ids_;
};

TEST_F(PanelBanEditsTest, EditsAreActsAuditedOnceOnSqlite) {
  start(dir_.path() + "/records.db");
  editAndUnban();
  refusals();
  EXPECT_EQ(audited("ban reason").size(), 2u);  // the typed one too
}

TEST_F(PanelBanEditsTest, EditsAndSearchesWorkOnPostgres) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("edits");
  ASSERT_FALSE(uri.empty()) << server.failure();
  start(uri);
  editAndUnban();
  EXPECT_EQ(getJson("/api/bans/search?actor=ALICE&server=")["bans"].size(), 3u);
  EXPECT_EQ(getJson("/api/audit/search?actor=alice&target=name&limit=2")["audit"].size(), 2u);
  httplib::Result csv = http_->Get("/api/bans/export?format=csv&q=name1", headersOf(alice_));
  ASSERT_TRUE(csv);
  EXPECT_NE(csv->body.find("\"'=cmd|' /C calc'!A0, \"\"quoted\"\"\""), std::string::npos)
      << csv->body;
}

}  // namespace
}  // namespace gsadmin::testing
