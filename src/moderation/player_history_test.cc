// The player history on a real SQLite file in a temporary directory.

#include "moderation/player_history.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;
using Names = std::vector<std::string>;

constexpr int64_t kDay = 24 * 3600;
constexpr int64_t kNow = 1796731200;

class PlayerHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(store_.open(), ""); }

  int64_t count(const std::string& sql) {
    StatementResult result = store_.query(sql.c_str(), {});
    EXPECT_FALSE(result.error) << *result.error;
    return result.rowCount() == 1 ? result.values[0].integerValue : -1;
  }

  TempDir dir_;
  SqliteDatabase database_{dir_.path() + "/script.db"};
  RecordStore store_{database_};
  PlayerHistory history_{store_};
};

TEST_F(PlayerHistoryTest, CountsVisitsTimePlayedKillsAndDeaths) {
  history_.visitStarted("Bob", "first", 100);
  history_.visitStarted("Ann", "a", 120);
  history_.deathRecorded("Bob", "Ann", 130);
  history_.deathRecorded("bob", std::nullopt, 140);
  history_.deathRecorded("Ann", "ANN", 150);  // a suicide is no kill
  history_.deathRecorded("Cy", "Bob", 155);   // before Cy's details came
  history_.visitEnded("BOB", 100, 160);
  history_.visitStarted("bOB", "second", 1000);

  struct Expected {
    const char* asked;
    const char* name;
    int64_t firstSeen, lastSeen, visits, secondsPlayed, kills, deaths;
  };
  const Expected cases[] = {
      {"bob", "bOB", 100, 1000, 2, 60, 1, 2},
      {"ANN", "Ann", 120, 120, 1, 0, 1, 1},
      {"Cy", "Cy", 155, 155, 0, 0, 0, 1},
  };
  for (const Expected& expected : cases) {
    SCOPED_TRACE(expected.asked);
    std::optional<PlayerRecord> player = history_.find(expected.asked);
    ASSERT_TRUE(player);
    EXPECT_EQ(player->name, expected.name);
    EXPECT_EQ(player->firstSeen, expected.firstSeen);
    EXPECT_EQ(player->lastSeen, expected.lastSeen);
    EXPECT_EQ(player->visits, expected.visits);
    EXPECT_EQ(player->secondsPlayed, expected.secondsPlayed);
    EXPECT_EQ(player->kills, expected.kills);
    EXPECT_EQ(player->deaths, expected.deaths);
  }
  EXPECT_EQ(history_.find("Bob")->details, "second");
  EXPECT_FALSE(history_.find("Dan"));
  EXPECT_EQ(count("SELECT count(*) FROM gs_sessions WHERE name_key = 'bob' AND left_at = 160"), 1);
  EXPECT_EQ(count("SELECT count(*) FROM gs_sessions WHERE left_at IS NULL"), 2);
}

TEST_F(PlayerHistoryTest, VisitsLeftOpenByAnEarlierRunOfThisServerAreClosed) {
  store_.setServerName("alpha");
  history_.visitStarted("Bob", "b", 100);
  store_.setServerName("beta");
  history_.visitStarted("Ann", "a", 120);
  history_.closeVisitsLeftOpen();
  EXPECT_EQ(count("SELECT count(*) FROM gs_sessions WHERE left_at = joined AND name = 'Ann'"), 1);
  EXPECT_EQ(count("SELECT count(*) FROM gs_sessions WHERE left_at IS NULL AND name = 'Bob'"), 1)
      << "another server's visit goes on";
  EXPECT_EQ(history_.find("Ann")->secondsPlayed, 0);
}

TEST_F(PlayerHistoryTest, TimePlayedAtAMomentCountsTheVisitUnderWayOnThisServer) {
  store_.setServerName("alpha");
  history_.visitStarted("Bob", "b", 100);
  history_.visitEnded("Bob", 100, 160);
  history_.visitStarted("bob", "b", 1000);
  store_.setServerName("beta");
  history_.visitStarted("BOB", "b", 900);  // on another server at once: not this one's
  store_.setServerName("alpha");
  const std::pair<std::optional<int64_t>, int64_t> cases[] = {
      {std::nullopt, 60}, {1000, 60}, {1030, 90}, {990, 60}};
  for (const auto& [now, seconds] : cases) {
    EXPECT_EQ(history_.find("Bob", now)->secondsPlayed, seconds) << now.value_or(-1);
  }
  history_.visitEnded("Bob", 1000, 1030);
  EXPECT_EQ(history_.find("Bob", 5000)->secondsPlayed, 90) << "an ended visit counts once";
}

TEST_F(PlayerHistoryTest, AliasesShareADetailsTextThatIdentifies) {
  const std::pair<const char*, const char*> visits[] = {
      {"Ann", "key1"},    {"bob", "key1"},    {"Cy", "key1"},  {"Dan", ""},     {"Eve", ""},
      {"Fay", "Unknown"}, {"Gus", "Unknown"}, {"Hal", "KEY1"}, {"Ivy", "key2"},
  };
  for (const auto& [name, details] : visits) history_.visitStarted(name, details, kNow);
  history_.visitStarted("Cy", "key3", kNow + 10);  // the last details count

  const std::pair<const char*, Names> cases[] = {
      {"ANN", {"bob"}}, {"Bob", {"Ann"}}, {"Cy", {}},  {"Dan", {}},
      {"Fay", {}},      {"Hal", {}},      {"Ivy", {}},
  };
  for (const auto& [name, aliases] : cases) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(history_.find(name));
    EXPECT_EQ(history_.find(name)->aliases, aliases);
  }
  EXPECT_EQ(history_.namesWithDetails("key1"), (Names{"Ann", "bob"}));
  EXPECT_EQ(history_.namesWithDetails(""), Names{});
  EXPECT_EQ(history_.namesWithDetails("Unknown"), Names{});
  EXPECT_EQ(history_.namesWithDetails("nobody's"), Names{});
}

TEST_F(PlayerHistoryTest, LastChatIsTheNewestLinesOldestFirst) {
  for (int i = 1; i <= 5; ++i) {
    history_.chatRecorded("Bob", std::nullopt, "line " + std::to_string(i), kNow + i);
    history_.chatRecorded("Ann", std::nullopt, "other", kNow + i);
  }
  history_.chatRecorded("bob", "#2", "psst", kNow + 9);

  std::vector<ChatRecord> chat = history_.lastChat("BOB", 3);
  ASSERT_EQ(chat.size(), 3u);
  EXPECT_EQ(chat[0].text, "line 4");
  EXPECT_EQ(chat[0].time, kNow + 4);
  EXPECT_EQ(chat[0].name, "Bob");
  EXPECT_FALSE(chat[0].recipient);
  EXPECT_EQ(chat[1].text, "line 5");
  EXPECT_EQ(chat[2].text, "psst");
  EXPECT_EQ(chat[2].recipient.value_or(""), "#2");
  EXPECT_EQ(history_.lastChat("Bob", 100).size(), 6u);
  EXPECT_TRUE(history_.lastChat("Bob", 0).empty());
  EXPECT_TRUE(history_.lastChat("Cy", 5).empty());
}

TEST_F(PlayerHistoryTest, TextsAreKeptBounded) {
  history_.visitStarted("Bob", std::string(1000, 'd'), kNow);
  history_.chatRecorded("Bob", std::string(500, 'r'), std::string(100000, 'c'), kNow);
  EXPECT_EQ(history_.find("Bob")->details, std::string(kMaxDetailsBytes, 'd'));
  std::vector<ChatRecord> chat = history_.lastChat("Bob", 1);
  ASSERT_EQ(chat.size(), 1u);
  EXPECT_EQ(chat[0].text.size(), kMaxTextBytes);
  EXPECT_EQ(chat[0].recipient->size(), kMaxNameBytes);
  // Looked up as it was kept.
  EXPECT_EQ(history_.namesWithDetails(std::string(2000, 'd')), Names{"Bob"});
}

TEST_F(PlayerHistoryTest, SearchFindsPartsOfNamesMostRecentFirst) {
  history_.visitStarted("Bobby", "", kNow);
  history_.visitStarted("[RED]bob", "", kNow + 2);
  history_.visitStarted("Ann", "", kNow + 1);
  history_.visitStarted("100%", "", kNow);
  std::vector<PlayerRecord> found = history_.search("BO", 10);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].name, "[RED]bob");
  EXPECT_EQ(found[1].name, "Bobby");
  EXPECT_EQ(history_.search("o", 1).size(), 1u);
  EXPECT_EQ(history_.search("0%", 10).size(), 1u);
  EXPECT_EQ(history_.search("_", 10).size(), 0u) << "no wildcards";
}

// Chat lines and sessions at 100, 10 and 1 days old, and one session still
// open that started 100 days ago (a client stopped without closing it).
TEST(PlayerHistoryExpiryTest, ExpireDeletesChatAndSessionsOlderThanTheDays) {
  struct Case {
    int64_t days;
    int64_t chatLeft, sessionsLeft;
  };
  const Case cases[] = {{0, 3, 4}, {-1, 3, 4}, {30, 2, 2}, {5, 1, 1}, {1000000, 3, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.days);
    TempDir dir;
    SqliteDatabase database(dir.path() + "/script.db");
    RecordStore store(database);
    ASSERT_EQ(store.open(), "");
    PlayerHistory history(store);
    for (int64_t age : {100, 10, 1}) {
      history.visitStarted("Bob", "", kNow - age * kDay);
      history.visitEnded("Bob", kNow - age * kDay, kNow - age * kDay + 60);
      history.chatRecorded("Bob", std::nullopt, "hi", kNow - age * kDay);
    }
    history.visitStarted("Ann", "", kNow - 100 * kDay);
    history.expire(c.days, kNow);
    auto count = [&](const char* sql) { return store.query(sql, {}).values.at(0).integerValue; };
    EXPECT_EQ(count("SELECT count(*) FROM gs_chat"), c.chatLeft);
    EXPECT_EQ(count("SELECT count(*) FROM gs_sessions"), c.sessionsLeft);
    EXPECT_EQ(count("SELECT count(*) FROM gs_players"), 2) << "players are kept";
  }
}

TEST_F(PlayerHistoryTest, NamesStartingWithATextAreFewAndFromEveryRun) {
  for (int i = 0; i < 60; ++i) history_.visitStarted("Pat" + std::to_string(100 + i), "", kNow);
  history_.visitStarted("Paz", "", kNow);
  history_.visitStarted("Q", "", kNow);
  EXPECT_EQ(history_.namesStartingWith("pAT", 1000).size(), PlayerHistory::kMaxStartingNames);
  EXPECT_EQ(history_.namesStartingWith("pat15", 10),
            (Names{"Pat150", "Pat151", "Pat152", "Pat153", "Pat154", "Pat155", "Pat156", "Pat157",
                   "Pat158", "Pat159"}));
  // A later run knows them from the file alone, each name once.
  PlayerHistory later{store_};
  later.visitStarted("PAZ", "", kNow);
  EXPECT_EQ(later.namesStartingWith("pa", 100).size(), PlayerHistory::kMaxStartingNames);
  EXPECT_EQ(later.namesStartingWith("paz", 100), Names{"PAZ"});
  EXPECT_EQ(later.namesStartingWith("q", 100), Names{"Q"});
  EXPECT_EQ(later.namesStartingWith("r", 100), Names{});
}

}  // namespace
}  // namespace gsadmin
