// The moderation tables' store on a real SQLite file in a temporary
// directory: the schema, and writes that wait, fail or overflow.

#include "moderation/record_store.h"

#include <gtest/gtest.h>

#include <string>

#include "moderation/schema.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;

constexpr char kInsertChat[] =
    "INSERT INTO gs_chat (time, name_key, name, text) VALUES (?, 'bob', 'Bob', ?)";
constexpr char kInsertPlayer[] =
    "INSERT INTO gs_players (name_key, name, first_seen, last_seen) VALUES (?, ?, 1, 1)";

int64_t countOf(Database& database, const std::string& sql) {
  StatementResult result = database.run(sql, {});
  EXPECT_FALSE(result.error) << *result.error;
  return result.rowCount() == 1 ? result.values[0].integerValue : -1;
}

std::vector<DbValue> chatLine(int64_t time) {
  return {DbValue::integer(time), DbValue::text("hello")};
}

class RecordStoreTest : public ::testing::Test {
 protected:
  TempDir dir_;
  SqliteDatabase database_{dir_.path() + "/script.db"};
  RecordStore store_{database_};
};

TEST_F(RecordStoreTest, CreatesTheTablesOnceAndKeepsTheirVersion) {
  ASSERT_EQ(store_.open(), "");
  EXPECT_EQ(countOf(database_,
                    "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name LIKE 'gs%'"),
            17);
  ASSERT_TRUE(store_.queue(kInsertChat, chatLine(1)));
  ASSERT_FALSE(store_.flush());

  // Another start on the same file: nothing made again, nothing lost.
  SqliteDatabase again(database_.description());
  RecordStore second(again);
  EXPECT_EQ(second.open(), "");
  EXPECT_EQ(countOf(again, "SELECT count(*) FROM gs_schema"), 1);
  EXPECT_EQ(countOf(again, "SELECT max(version) FROM gs_schema"), kModerationSchemaVersion);
  EXPECT_EQ(countOf(again, "SELECT count(*) FROM gs_chat"), 1);
}

TEST_F(RecordStoreTest, RefusesAndLeavesAloneTheTablesOfANewerClient) {
  ASSERT_FALSE(database_.run("CREATE TABLE gs_schema (version INTEGER NOT NULL)", {}).error);
  ASSERT_FALSE(database_.run("INSERT INTO gs_schema VALUES (99)", {}).error);
  ASSERT_FALSE(database_.run("CREATE TABLE gs_players (other_shape)", {}).error);
  EXPECT_EQ(store_.open(),
            "the moderation tables are of a newer gsadmin (version 99, this one knows " +
                std::to_string(kModerationSchemaVersion) + ")");
  EXPECT_EQ(countOf(database_, "SELECT count(*) FROM sqlite_master WHERE name LIKE 'gs_%'"), 2);
  EXPECT_FALSE(database_.inTransaction());
}

TEST_F(RecordStoreTest, AFlushWaitsWhileAScriptsTransactionIsOpen) {
  ASSERT_EQ(store_.open(), "");
  ASSERT_FALSE(database_.run("BEGIN", {}).error);  // the script's
  store_.queue(kInsertChat, chatLine(1));
  EXPECT_FALSE(store_.flush());
  EXPECT_EQ(store_.queued(), 1u);
  ASSERT_FALSE(database_.run("ROLLBACK", {}).error);  // takes nothing of ours with it
  EXPECT_FALSE(store_.flush());
  EXPECT_EQ(store_.queued(), 0u);
  EXPECT_EQ(countOf(database_, "SELECT count(*) FROM gs_chat"), 1);
}

TEST_F(RecordStoreTest, AReadSeesWhatWasQueuedBeforeIt) {
  ASSERT_EQ(store_.open(), "");
  store_.queue(kInsertChat, chatLine(1));
  store_.queue(kInsertChat, chatLine(2));
  StatementResult result = store_.query("SELECT sum(time) FROM gs_chat", {});
  ASSERT_EQ(result.rowCount(), 1u);
  EXPECT_EQ(result.values[0].integerValue, 3);
}

TEST_F(RecordStoreTest, AFullQueueDropsAndCounts) {
  ASSERT_EQ(store_.open(), "");
  for (size_t i = 0; i < RecordStore::kMaxQueued; ++i) {
    ASSERT_TRUE(store_.queue(kInsertChat, chatLine(static_cast<int64_t>(i))));
  }
  EXPECT_FALSE(store_.queue(kInsertChat, chatLine(-1)));
  EXPECT_FALSE(store_.queue(kInsertChat, chatLine(-2)));
  EXPECT_EQ(store_.dropped(), 2u);
  EXPECT_FALSE(store_.flush());
  EXPECT_EQ(countOf(database_, "SELECT count(*) FROM gs_chat"),
            static_cast<int64_t>(RecordStore::kMaxQueued));
  EXPECT_EQ(countOf(database_, "SELECT count(*) FROM gs_chat WHERE time < 0"), 0);
}

// A write that fails takes none of the others with it: it is tried once
// more, then dropped; the error is said once.
TEST_F(RecordStoreTest, AFailingWriteIsDroppedAndTheOthersWritten) {
  ASSERT_EQ(store_.open(), "");
  store_.queue(kInsertPlayer, {DbValue::text("ann"), DbValue::text("Ann")});
  store_.queue(kInsertPlayer, {DbValue::text("bob"), DbValue::null()});
  store_.queue(kInsertPlayer, {DbValue::text("cy"), DbValue::text("Cy")});
  EXPECT_EQ(store_.flush().value_or(""), "NOT NULL constraint failed: gs_players.name");
  EXPECT_EQ(store_.queued(), 3u);
  EXPECT_FALSE(database_.inTransaction());
  EXPECT_FALSE(store_.flush());  // the same error again: dropped, not said twice
  EXPECT_EQ(store_.queued(), 2u);
  EXPECT_FALSE(store_.flush());
  EXPECT_EQ(countOf(database_, "SELECT count(*) FROM gs_players"), 2);
}

TEST_F(RecordStoreTest, AFlushErrorMetByAReadIsReportedByTheNextFlush) {
  ASSERT_EQ(store_.open(), "");
  store_.queue(kInsertPlayer, {DbValue::text("bob"), DbValue::null()});
  StatementResult read = store_.query("SELECT count(*) FROM gs_players", {});
  EXPECT_FALSE(read.error);
  EXPECT_EQ(store_.flush().value_or(""), "NOT NULL constraint failed: gs_players.name");
  EXPECT_FALSE(store_.flush());
}

TEST(RecordStoreTextTest, NamesAndTextsAreKeyedAndBounded) {
  EXPECT_EQ(nameKey("BoB[RED]"), "bob[red]");
  EXPECT_EQ(nameKey("ÄB"), "Äb") << "ASCII letters only";
  EXPECT_EQ(nameKey(std::string(100, 'X')), std::string(kMaxNameBytes, 'x'));
  EXPECT_EQ(boundedText("abc", 3), "abc");
  EXPECT_EQ(boundedText("ab\xC3\xA4", 3), "ab") << "never half a character";
  EXPECT_EQ(boundedText("\xE2\x82\xAC\xE2\x82\xAC", 5), "\xE2\x82\xAC");
  EXPECT_FALSE(detailsIdentify(""));
  EXPECT_FALSE(detailsIdentify("Unknown"));
  EXPECT_TRUE(detailsIdentify("unknown"));
  EXPECT_TRUE(detailsIdentify("10.0.0.7"));
}

}  // namespace
}  // namespace gsadmin
