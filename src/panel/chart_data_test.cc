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

class ChartDataTest : public ::testing::Test {
 protected:
  ChartDataTest() : database_(dir_.path() + "/charts.db") {
    for (const std::string& statement : moderationSchema(SqlDialect::kSqlite))
      EXPECT_FALSE(run(statement).error);
  }

  StatementResult run(const std::string& sql, const std::vector<DbValue>& values = {}) {
    return database_.run(sql, values);
  }
  // A visit of `key`; `left` absent while it is open.
  void visit(const std::string& key, int64_t joined, std::optional<int64_t> left) {
    ASSERT_FALSE(run("INSERT INTO gs_sessions (name_key, name, joined, left_at)"
                     " VALUES (?, ?, ?, ?)",
                     {DbValue::text(key), DbValue::text(key), DbValue::integer(joined),
                      left ? DbValue::integer(*left) : DbValue::null()})
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

TEST_F(ChartDataTest, PlayersOnlineCountEachNameOnceInEveryStepItsVisitsOverlap) {
  // Step 143 is the one holding now; step 0 began 143 steps before it.
  visit("alice", kStep - 1000, kStep - 500);     // steps 141 and 142
  visit("alice", kStep - 400, kStep - 300);      // 142 again: still one player
  visit("bob", kStep - 700, std::nullopt);       // open and online: 141 to now
  visit("carol", kStep - 5000, std::nullopt);    // left open by a stopped client: 134 only
  visit("erin", kStep - 3000, std::nullopt);     // an older open visit: 138 only
  visit("erin", kStep - 200, std::nullopt);      // her latest, online: 142 and 143
  visit("frank", kStep - 90000, kStep - 85000);  // began before the window: 0 and 1
  visit("gina", kStep - 100000, kStep - 90000);  // ended before it

  ChartSeries series = playersOnline(database_, kNow, 600, 144, {"bob", "erin"});
  EXPECT_EQ(series.step, 600);
  EXPECT_EQ(series.start, kStep - 143 * 600);
  ASSERT_EQ(series.values.size(), 144u);
  std::map<size_t, int64_t> expected = {{0, 1},   {1, 1},   {134, 1}, {138, 1},
                                        {141, 2}, {142, 3}, {143, 2}};
  EXPECT_EQ(nonZero(series), expected);
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

TEST(ChartDataWithoutTablesTest, ADatabaseWithoutTheTablesHasNoValues) {
  testing::TempDir dir;
  SqliteDatabase database(dir.path() + "/empty.db");
  EXPECT_TRUE(playersOnline(database, kNow, 600, 144, {}).values.empty());
  EXPECT_TRUE(perMinute(database, PerMinute::kChatLines, kNow, 60).values.empty());
}

}  // namespace
}  // namespace gsadmin
