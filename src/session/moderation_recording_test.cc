// What the moderation records of a session, fed the server's datagrams with
// the clock driven by hand: joins with details, chat, private messages,
// deaths and quits, each at its time in the client's database.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::SessionHarness;

// The values of one row, as text, joined by '|'; NULL as "-".
std::string row(Database& database, const char* sql) {
  StatementResult result = database.run(sql, {});
  if (result.error) return "error: " + *result.error;
  std::string text;
  for (const DbValue& value : result.values) {
    if (!text.empty()) text += "|";
    if (value.type == DbValue::Type::kNull) {
      text += "-";
    } else if (value.type == DbValue::Type::kInteger) {
      text += std::to_string(value.integerValue);
    } else {
      text += value.bytes;
    }
  }
  return text;
}

// Bob joins 9 s after the login, chats 20 s later, sends a private message,
// is killed by Ann and leaves a minute after he came.
void playAVisit(SessionHarness& harness) {
  harness.connect();
  harness.clock().advance(9000);
  harness.deliver(testing::playerJoined(3, "Bob"));
  harness.deliver(testing::playerDetails(3, "key-bob"));
  harness.addPlayer(4, "Ann");
  harness.clock().advance(20000);
  harness.deliver(testing::chatLine(3, 0, "hello all"));
  harness.clock().advance(1000);
  harness.deliver(testing::chatLine(3, 0, "/msg Ann psst"));
  harness.clock().advance(1000);
  harness.deliver(testing::deathReport(3, 4, 30));
  harness.clock().advance(38000);
  harness.deliver(testing::playerLeft(0, 3));
}

TEST(ModerationRecordingTest, AVisitLandsInTheTablesAtItsTimes) {
  SessionHarness harness;
  playAVisit(harness);
  // The clock starts at 1 s past its epoch; the login took 1 ms.
  const int64_t joined = ManualClock::kEpochSeconds + 10;
  Database& database = harness.session().database();
  std::string bob = std::to_string(joined) + "|" + std::to_string(joined + 60);
  EXPECT_EQ(row(database,
                "SELECT name, details, first_seen, last_seen, visits, seconds_played, kills,"
                " deaths FROM gs_players WHERE name_key = 'bob'"),
            "Bob|key-bob|" + bob + "|1|60|0|1");
  EXPECT_EQ(row(database, "SELECT kills, deaths, visits FROM gs_players WHERE name_key = 'ann'"),
            "1|0|1");
  EXPECT_EQ(row(database, "SELECT name, joined, left_at FROM gs_sessions WHERE name_key = 'bob'"),
            "Bob|" + bob);
  EXPECT_EQ(row(database, "SELECT name, joined, left_at FROM gs_sessions WHERE name_key = 'ann'"),
            "Ann|" + std::to_string(joined) + "|-");
  EXPECT_EQ(row(database, "SELECT time, name, recipient, text FROM gs_chat ORDER BY id"),
            std::to_string(joined + 20) + "|Bob|-|hello all|" + std::to_string(joined + 21) +
                "|Bob|Ann|psst");

  // Ann's visit ends with the session.
  harness.clock().advance(5000);
  ASSERT_NE(harness.session().moderation(), nullptr);
  harness.session().moderation()->close();
  EXPECT_EQ(row(database,
                "SELECT left_at, seconds_played FROM gs_sessions, gs_players"
                " WHERE gs_players.name_key = 'ann' AND gs_sessions.name_key = 'ann'"),
            std::to_string(joined + 65) + "|65");
}

TEST(ModerationRecordingTest, AReplacedPlayerEndsHisVisitAndALoginStartsNoSecond) {
  SessionHarness harness;
  harness.connect(testing::ServerRecord(), {{4, "Ann"}, {7, "Bo"}});
  harness.deliver(testing::playerDetails(4, "key-ann"));
  harness.deliver(testing::playerDetails(7, "key-bo"));
  harness.clock().advance(30000);
  // A join for Bo's id replaces him without a quit.
  harness.deliver(testing::playerJoined(7, "Cy"));
  harness.deliver(testing::playerDetails(7, "key-cy"));
  harness.clock().advance(20000);
  // Logged in again, Ann listed again: her visit goes on.
  harness.connect(testing::ServerRecord(), {{4, "Ann"}});
  harness.deliver(testing::playerDetails(4, "key-ann"));
  Database& database = harness.session().database();
  EXPECT_EQ(
      row(database, "SELECT name_key, seconds_played, visits FROM gs_players ORDER BY name_key"),
      "ann|0|1|bo|30|1|cy|0|1");
  EXPECT_EQ(row(database, "SELECT count(*) FROM gs_sessions WHERE left_at IS NULL"), "2");
}

// Connected with Bob on, the bans read and every record written, so that
// the loop wakes for new records alone.
Moderation& connectedWithNothingToWrite(SessionHarness& harness) {
  harness.connect();
  harness.addPlayer(3, "Bob");
  Moderation& moderation = *harness.session().moderation();
  EXPECT_EQ(moderation.sanctions().awaitLoaded(harness.clock().wallSeconds()), "");
  moderation.writeRecords();
  return moderation;
}

// Chat is written a batch at a time, a moment (kRecordBatchMs) after its first
// line, and the loop wakes for it; a thousand waiting lines go at once.
TEST(ModerationRecordingTest, ChatIsWrittenInBatchesSoonAfterItsFirstLine) {
  SessionHarness harness;
  Moderation& moderation = connectedWithNothingToWrite(harness);
  Database& database = harness.session().database();
  const char* count = "SELECT count(*) FROM gs_chat";

  harness.deliver(testing::chatLine(3, 0, "one"));
  EXPECT_EQ(harness.session().msUntilWork(), Moderation::kRecordBatchMs);
  harness.clock().advance(Moderation::kRecordBatchMs - 1);
  harness.deliver(testing::chatLine(3, 0, "two"));
  EXPECT_EQ(row(database, count), "0");
  EXPECT_EQ(harness.session().msUntilWork(), 1u);
  harness.clock().advance(1);
  harness.session().poll();
  EXPECT_EQ(row(database, count), "2");
  EXPECT_FALSE(moderation.nextWriteMs());

  std::vector<testing::Datagram> lines;
  for (size_t i = 0; i < Moderation::kRecordBatchWrites; ++i) {
    lines.push_back(testing::chatLine(3, 0, "line " + std::to_string(i)));
  }
  harness.deliver(lines);
  EXPECT_EQ(row(database, count), std::to_string(2 + Moderation::kRecordBatchWrites));
}

// While a script holds a transaction open the batch waits, and is tried
// again a batch later rather than at every pass.
TEST(ModerationRecordingTest, ABatchHeldBackByAScriptsTransactionIsTriedAgainLater) {
  SessionHarness harness;
  Moderation& moderation = connectedWithNothingToWrite(harness);
  Database& database = harness.session().database();
  ASSERT_FALSE(database.run("BEGIN", {}).error);
  harness.deliver(testing::chatLine(3, 0, "held"));
  harness.clock().advance(Moderation::kRecordBatchMs);
  harness.session().poll();
  EXPECT_EQ(moderation.store().queued(), 1u);
  EXPECT_EQ(harness.session().msUntilWork(), Moderation::kRecordBatchMs);
  ASSERT_FALSE(database.run("COMMIT", {}).error);
  harness.clock().advance(Moderation::kRecordBatchMs);
  harness.session().poll();
  EXPECT_EQ(row(database, "SELECT text FROM gs_chat"), "held");
}

TEST(ModerationRecordingTest, NothingIsRecordedWithModerationOff) {
  SessionHarness harness(std::nullopt, defaults::kAdminName, defaults::kAdminPassword,
                         testing::Transport::kInMemory,
                         [](SessionSettings& settings) { settings.moderation.enabled = false; });
  EXPECT_EQ(harness.session().moderation(), nullptr);
  playAVisit(harness);
  EXPECT_NE(harness.output().find("Bob has left the game"), std::string::npos);
  EXPECT_NE(access((harness.directory() + "/script.db").c_str(), F_OK), 0)
      << "the database is not even made";
}

}  // namespace
}  // namespace gsadmin
