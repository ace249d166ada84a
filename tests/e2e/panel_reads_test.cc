// The panel's reads through the real binary: many charts over a day of a
// million chat lines at once while the game session goes on, and the reads
// on a PostgreSQL server.

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "moderation/record_store.h"
#include "storage/sqlite_database.h"
#include "support/panel_client.h"
#include "support/postgres_server.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr int kChatLines = 1000000;

int64_t msSince(steady_clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count();
}

// A database at `path` with the moderation's tables and `lines` chat lines
// of Bob spread over the last day; an error, or empty.
std::string fillChat(const std::string& path, int lines) {
  SqliteDatabase database(path);
  RecordStore store(database);
  if (std::string error = store.open(); !error.empty()) return error;
  int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count();
  StatementResult filled = database.run(
      "INSERT INTO gs_chat (time, name_key, name, text)"
      " WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?)"
      " SELECT ? - i % 86000, 'bob', 'Bob', 'line ' || i FROM n",
      {DbValue::integer(lines), DbValue::integer(now)});
  return filled.error.value_or("");
}

// The status and body of GET `path` as `user` on a connection of its own.
std::pair<int, std::string> getAlone(int port, const WebUser& user, const std::string& path) {
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(60, 0);
  httplib::Result result = http.Get(path, headersOf(user));
  if (!result) return {-1, ""};
  return {result->status, result->body};
}

// The chat lines a chart counts.
int64_t chatCounted(const json& charts) {
  int64_t sum = 0;
  for (const json& count : charts["chat"]["values"]) sum += count.get<int64_t>();
  return sum;
}

using Reads = std::vector<std::future<std::pair<int, std::string>>>;

// Sends a chat line from player 3 every 100 ms while `reads` are pending
// (at least 10, for 30 s at most) and waits for each on the console; the
// longest wait in milliseconds (30000 for a line never seen).
int64_t worstChatDelayMs(LoopbackPeer& peer, ClientProcess& client, Reads& reads, int* ticks) {
  auto start = steady_clock::now();
  int64_t worstMs = 0;
  auto pending = [&reads]() {
    return std::any_of(reads.begin(), reads.end(), [](auto& read) {
      return read.wait_for(milliseconds(0)) != std::future_status::ready;
    });
  };
  while (msSince(start) < 30000 && (*ticks < 10 || pending())) {
    std::string tick = "tick " + std::to_string((*ticks)++);
    auto sent = steady_clock::now();
    bool seen = peer.send(chatLine(3, 1, tick)) && client.waitForLine(tick, 30000).has_value();
    worstMs = std::max(worstMs, seen ? msSince(sent) : 30000);
    std::this_thread::sleep_for(milliseconds(100));
  }
  return worstMs;
}

TEST_F(PanelEndToEndTest, ManyChartReadsOverAMillionChatLinesLeaveTheSessionFree) {
  std::string database = dir_.path() + "/big.db";
  auto filling = steady_clock::now();
  ASSERT_EQ(fillChat(database, kChatLines), "");
  std::printf("[ filled  ] %d chat lines in %lld ms\n", kChatLines,
              static_cast<long long>(msSince(filling)));
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--db=" + database}, true);
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
  ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}}));
  // Ten logins of one level-1 account, four charts each at once.
  std::vector<WebUser> logins;
  httplib::Client http("127.0.0.1", port);
  for (int i = 0; i < 10; ++i) {
    std::optional<WebUser> mia = logIn(http, "mia", "secret");
    ASSERT_TRUE(mia);
    logins.push_back(*mia);
  }
  Reads reads;
  for (int i = 0; i < 40; ++i) {
    reads.push_back(std::async(std::launch::async, [port, &logins, i]() {
      return getAlone(port, logins[i % logins.size()], "/api/charts?range=day");
    }));
  }

  // Meanwhile the server's chat reaches the console as it comes.
  int ticks = 0;
  int64_t worstMs = worstChatDelayMs(peer_, *client_, reads, &ticks);
  std::printf("[ measured] worst console delay %lld ms over %d lines during 40 chart reads\n",
              static_cast<long long>(worstMs), ticks);
  EXPECT_LT(worstMs, 2000) << "a console line waited behind the reads";

  int answered = 0;
  std::map<int, int> statuses;
  for (auto& read : reads) {
    auto [status, body] = read.get();
    ++statuses[status];
    json answer = json::parse(body, nullptr, false);
    if (status == 200) {
      ++answered;
      EXPECT_GE(chatCounted(answer), kChatLines);
    } else {
      EXPECT_TRUE(status == 429 || status == 503) << status << " " << body;
      EXPECT_TRUE(answer.contains("error")) << body;
    }
  }
  for (auto [status, count] : statuses) std::printf("[ answered] %d x %d\n", count, status);
  EXPECT_GT(answered, 0);
  EXPECT_EQ(client_->output().find("DISCONNECT"), std::string::npos);
}

// GET `path` as `user`: its status and its JSON body (null when none).
std::pair<int, json> getJson(httplib::Client& http, const WebUser& user, const std::string& path) {
  httplib::Result result = http.Get(path, headersOf(user));
  if (!result) return {-1, nullptr};
  return {result->status, json::parse(result->body, nullptr, false)};
}

TEST_F(PanelEndToEndTest, ReadsOnAPostgresServerSeeWhatWasJustDone) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("panel");
  ASSERT_FALSE(uri.empty()) << server.failure();
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--db=" + uri}, true);
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
  ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}, {5, "Carol"}}));
  ASSERT_TRUE(peer_.send(playerDetails(3, "key-bob")));
  ASSERT_TRUE(peer_.send(chatLine(3, 1, "hello from bob")));
  ASSERT_TRUE(client_->waitForLine("hello from bob"));
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(10, 0);
  std::optional<WebUser> alice = logIn(http, "alice", "secret");
  ASSERT_TRUE(alice);

  json tempban = {{"action", "tempban"}, {"player", 5}, {"duration", "1h"}};
  httplib::Result done =
      http.Post("/api/actions", headersOf(*alice), tempban.dump(), "application/json");
  ASSERT_TRUE(done);
  ASSERT_EQ(done->status, 200) << done->body;
  auto [banned, bans] = getJson(http, *alice, "/api/bans");
  ASSERT_EQ(banned, 200) << bans;
  ASSERT_EQ(bans.size(), 1u) << bans;
  EXPECT_EQ(bans[0]["name"], "Carol");
  auto [audited, audit] = getJson(http, *alice, "/api/audit");
  ASSERT_EQ(audited, 200) << audit;
  ASSERT_FALSE(audit.empty());
  EXPECT_EQ(audit[0]["action"], "tempban");
  auto [known, bob] = getJson(http, *alice, "/api/history?name=bob");
  ASSERT_EQ(known, 200) << bob;
  EXPECT_EQ(bob["online"], 3);
  ASSERT_EQ(bob["chat"].size(), 1u) << bob;
  EXPECT_EQ(bob["chat"][0]["text"], "hello from bob");
  auto [charted, charts] = getJson(http, *alice, "/api/charts");
  ASSERT_EQ(charted, 200) << charts;
  EXPECT_EQ(chatCounted(charts), 1);
}

}  // namespace
}  // namespace gsadmin::testing
