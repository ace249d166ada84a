// The charts' steps on a real SQLite file with known rows.

#include "panel/chart_data.h"

#include <gtest/gtest.h>

#include <map>

#include "moderation/schema.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

// A moment at the start of a ten-minute step, and one within it.
constexpr int64_t kStep = 1796731200;
constexpr int64_t kNow = kStep + 130;
// The server of the client, as its records name it.
constexpr char kServer[] = "203.0.113.7:4003";

class ChartDataTest : public ::testing::Test {
 protected:
  ChartDataTest() : database_(dir_.path() + "/charts.db") {
    for (const std::string& statement : moderationSchema(SqlDialect::kSqlite))
      EXPECT_FALSE(run(statement).error);
  }

  StatementResult run(const std::string& sql, const std::vector<DbValue>& values = {}) {
    return database_.run(sql, values);
  }
  // A visit of `key` to `server`; `left` absent while it is open.
  void visit(const std::string& key, int64_t joined, std::optional<int64_t> left,
             const std::string& server = kServer) {
    ASSERT_FALSE(run("INSERT INTO gs_sessions (name_key, name, joined, left_at, server)"
                     " VALUES (?, ?, ?, ?, ?)",
                     {DbValue::text(key), DbValue::text(key), DbValue::integer(joined),
                      left ? DbValue::integer(*left) : DbValue::null(), DbValue::text(server)})
                     .error);
  }
  void rowAt(const char* sql, int64_t time) {
    ASSERT_FALSE(run(sql, {DbValue::integer(time)}).error) << sql;
  }
  // The values of `series` that are not 0, by index.
  static std::map<size_t, int64_t> nonZero(const ChartSeries& series) {
    std::map<size_t, int64_t> values;
    for (size_t i = 0; i < series.values.size(); ++i) {
      if (series.values[i] != 0) values[i] = series.values[i];
    }
    return values;
  }

  testing::TempDir dir_;
  SqliteDatabase database_;
};

TEST_F(ChartDataTest, PlayersOnlineAreTheMostOnAtOnceInEachStep) {
  // Step 143 is the one holding now; step 0 began 143 steps before it.
  visit("alice", kStep - 1000, kStep - 500);     // steps 141 and 142
  visit("alice", kStep - 400, kStep - 300);      // 142 again, beside bob
  visit("bob", kStep - 700, std::nullopt);       // open and online: 141 to now
  visit("carol", kStep - 5000, std::nullopt);    // left open by a stopped client: 134 only
  visit("erin", kStep - 3000, std::nullopt);     // an older open visit: 138 only
  visit("erin", kStep - 200, std::nullopt);      // her latest, online: 142 and 143
  visit("frank", kStep - 90000, kStep - 85000);  // began before the window: 0 and 1
  visit("gina", kStep - 100000, kStep - 90000);  // ended before it

  ChartSeries series = playersOnline(database_, kNow, 600, 144, {"bob", "erin"}, kServer);
  EXPECT_EQ(series.step, 600);
  EXPECT_EQ(series.start, kStep - 143 * 600);
  ASSERT_EQ(series.values.size(), 144u);
  // Step 142 saw alice, bob and erin, but never all three at once.
  std::map<size_t, int64_t> expected = {{0, 1},   {1, 1},   {134, 1}, {138, 1},
                                        {141, 2}, {142, 2}, {143, 2}};
  EXPECT_EQ(nonZero(series), expected);
}

TEST_F(ChartDataTest, PlayersOnlineCountTheServersOwnVisitsAndEachPlayerOnce) {
  struct Visit {
    const char* key;
    int64_t joined, left;
    const char* server;
  };
  // Step 142 is [kStep - 600, kStep).
  const Visit visits[] = {
      {"ann", kStep - 600, kStep - 500, kServer},       // one after the other:
      {"ben", kStep - 400, kStep - 300, kServer},       // one at once
      {"ann", kStep - 350, kStep - 250, kServer},       // ann again, beside ben: two
      {"ann", kStep - 340, kStep - 260, kServer},       // the same ann twice: still two
      {"cid", kStep - 340, kStep - 260, "other:4003"},  // another server's
      {"dee", kStep - 1100, kStep - 1000, ""},          // a row from before servers: 141
      {"eve", kStep - 1000, kStep - 1000, kServer},     // no length, still on: 141
      {"fay", kStep - 1000, kStep - 1000, "other:4003"},
  };
  for (const Visit& v : visits) visit(v.key, v.joined, v.left, v.server);
  ChartSeries series = playersOnline(database_, kNow, 600, 144, {}, kServer);
  EXPECT_EQ(nonZero(series), (std::map<size_t, int64_t>{{141, 1}, {142, 2}}));
  // The other server's, seen from there: dee leaves as fay comes, one at once.
  EXPECT_EQ(nonZero(playersOnline(database_, kNow, 600, 144, {}, "other:4003")),
            (std::map<size_t, int64_t>{{141, 1}, {142, 1}}));
}

TEST_F(ChartDataTest, ChatAndKillsPerMinuteAndNoKillsWithoutTheirTable) {
  const char kChat[] =
      "INSERT INTO gs_chat (time, name_key, name, recipient, text) VALUES (?, 'a', 'a', NULL, 'x')";
  // The hour ends with the minute holding now: kStep + 120 to kStep + 180.
  int64_t first = kStep + 180 - 3600;
  for (int64_t time : {first - 1, first, first + 59, kNow, kNow - 5, kStep + 180}) {
    rowAt(kChat, time);
  }
  ChartSeries chat = perMinute(database_, PerMinute::kChatLines, kNow, 60);
  EXPECT_EQ(chat.start, first);
  EXPECT_EQ(chat.step, 60);
  ASSERT_EQ(chat.values.size(), 60u);
  EXPECT_EQ(nonZero(chat), (std::map<size_t, int64_t>{{0, 2}, {59, 2}}));
  EXPECT_EQ(perMinute(database_, PerMinute::kChatLines, kNow, 24 * 60).values.size(), 1440u);

  const char kKill[] =
      "INSERT INTO gs_kills (time, server, killer, victim) VALUES (?, 's', 'a', 'b')";
  for (int64_t time : {first + 61, first + 62, kNow}) rowAt(kKill, time);
  ChartSeries kills = perMinute(database_, PerMinute::kKills, kNow, 60);
  EXPECT_EQ(kills.start, first);
  ASSERT_EQ(kills.values.size(), 60u);
  EXPECT_EQ(nonZero(kills), (std::map<size_t, int64_t>{{1, 2}, {59, 1}}));
}

TEST(ChartSumTest, SeriesAddUpStepByStepAndAMissingOneSpoilsTheSum) {
  ChartSeries a{600, 60, {1, 2, 3}};
  ChartSeries b{600, 60, {0, 5, 1}};
  ChartSeries none{600, 60, {}};
  EXPECT_EQ(sumOf({a, b}).values, (std::vector<int64_t>{1, 7, 4}));
  EXPECT_EQ(sumOf({a}).start, 600);
  EXPECT_TRUE(sumOf({a, none}).values.empty());
  EXPECT_TRUE(sumOf({}).values.empty());
}

TEST(ChartDataWithoutTablesTest, ADatabaseWithoutTheTablesHasNoValues) {
  testing::TempDir dir;
  SqliteDatabase database(dir.path() + "/empty.db");
  EXPECT_TRUE(playersOnline(database, kNow, 600, 144, {}, kServer).values.empty());
  EXPECT_TRUE(perMinute(database, PerMinute::kChatLines, kNow, 60).values.empty());
}

}  // namespace
}  // namespace gsadmin
