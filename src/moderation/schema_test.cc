// The moderation tables' versions on a real SQLite file: tables of the
// first version, made with its own statements, upgraded in place with
// nothing lost; tables of a newer client refused; the PostgreSQL text.

#include "moderation/schema.h"

#include <gtest/gtest.h>

#include <string>

#include "moderation/record_store.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;

// The tables as the first version made them, with a record of each kind.
const char* const kVersion1[] = {
    "CREATE TABLE gs_schema (version INTEGER NOT NULL)",
    "INSERT INTO gs_schema VALUES (1)",
    "CREATE TABLE gs_players (name_key TEXT PRIMARY KEY, name TEXT NOT NULL,"
    " details TEXT NOT NULL DEFAULT '', first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL,"
    " visits INTEGER NOT NULL DEFAULT 0, seconds_played INTEGER NOT NULL DEFAULT 0,"
    " kills INTEGER NOT NULL DEFAULT 0, deaths INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX gs_players_details ON gs_players (details)",
    "CREATE TABLE gs_sessions (id INTEGER PRIMARY KEY, name_key TEXT NOT NULL,"
    " name TEXT NOT NULL, joined INTEGER NOT NULL, left_at INTEGER)",
    "CREATE TABLE gs_chat (id INTEGER PRIMARY KEY, time INTEGER NOT NULL,"
    " name_key TEXT NOT NULL, name TEXT NOT NULL, recipient TEXT, text TEXT NOT NULL)",
    "CREATE TABLE gs_sanctions (id INTEGER PRIMARY KEY, time INTEGER NOT NULL,"
    " name_key TEXT NOT NULL, name TEXT NOT NULL, kind TEXT NOT NULL,"
    " seconds INTEGER NOT NULL DEFAULT 0, until INTEGER, reason TEXT NOT NULL DEFAULT '',"
    " actor TEXT NOT NULL, lifted INTEGER)",
    "CREATE TABLE gs_notes (id INTEGER PRIMARY KEY, time INTEGER NOT NULL,"
    " name_key TEXT NOT NULL, name TEXT NOT NULL, actor TEXT NOT NULL, text TEXT NOT NULL)",
    "CREATE TABLE gs_admins (name_key TEXT PRIMARY KEY, name TEXT NOT NULL,"
    " details TEXT NOT NULL, level INTEGER NOT NULL, added_by TEXT NOT NULL,"
    " added INTEGER NOT NULL)",
    "CREATE TABLE gs_audit (id INTEGER PRIMARY KEY, time INTEGER NOT NULL,"
    " actor TEXT NOT NULL, action TEXT NOT NULL, target TEXT NOT NULL,"
    " detail TEXT NOT NULL DEFAULT '')",
    "INSERT INTO gs_players (name_key, name, first_seen, last_seen) VALUES ('bob', 'Bob', 1, 2)",
    "INSERT INTO gs_sessions (name_key, name, joined) VALUES ('bob', 'Bob', 1)",
    "INSERT INTO gs_chat (time, name_key, name, text) VALUES (1, 'bob', 'Bob', 'hi')",
    "INSERT INTO gs_sanctions (time, name_key, name, kind, actor) VALUES (1, 'bob', 'Bob', 'ban',"
    " 'Op')",
    "INSERT INTO gs_notes (time, name_key, name, actor, text) VALUES (1, 'bob', 'Bob', 'Op', 'n')",
    "INSERT INTO gs_audit (time, actor, action, target) VALUES (1, 'Op', 'ban', 'Bob')",
};

class SchemaTest : public ::testing::Test {
 protected:
  void make(std::initializer_list<const char*> statements) {
    for (const char* statement : statements) {
      StatementResult result = database_.run(statement, {});
      ASSERT_FALSE(result.error) << statement << ": " << *result.error;
    }
  }
  int64_t count(const std::string& sql) {
    StatementResult result = database_.run(sql, {});
    EXPECT_FALSE(result.error) << sql << ": " << result.error.value_or("");
    return result.rowCount() == 1 ? result.values[0].integerValue : -1;
  }

  TempDir dir_;
  SqliteDatabase database_{dir_.path() + "/script.db"};
};

TEST_F(SchemaTest, TablesOfTheFirstVersionAreUpgradedOnceWithNothingLost) {
  for (const char* statement : kVersion1) make({statement});
  {
    RecordStore store(database_);
    ASSERT_EQ(store.open(), "");
  }
  EXPECT_EQ(count("SELECT max(version) FROM gs_schema"), kModerationSchemaVersion);
  for (const char* table : {"gs_sessions", "gs_chat", "gs_sanctions", "gs_notes", "gs_audit"}) {
    EXPECT_EQ(count(std::string("SELECT count(*) FROM ") + table + " WHERE server = ''"), 1)
        << table;
  }
  EXPECT_EQ(count("SELECT count(*) FROM gs_players WHERE last_server = '' AND name = 'Bob'"), 1);
  EXPECT_EQ(count("SELECT count(*) FROM gs_kills"), 0);
  EXPECT_EQ(count("SELECT count(*) FROM gs_batches"), 0);
  EXPECT_EQ(count("SELECT count(*) FROM gs_sanctions WHERE skeleton = 'bob'"), 1)
      << "the ban's skeleton, for the look-alikes";

  // Records of the new shape go in; a second start changes nothing.
  RecordStore again(database_);
  again.setServerName("arena");
  ASSERT_EQ(again.open(), "");
  EXPECT_EQ(count("SELECT count(*) FROM gs_schema"), 2);
  again.queue("INSERT INTO gs_kills (time, server, killer, victim) VALUES (1, 'arena', 'A', 'B')",
              {});
  EXPECT_FALSE(again.flush());
  EXPECT_EQ(count("SELECT count(*) FROM gs_kills"), 1);
  EXPECT_FALSE(database_.inTransaction());
}

TEST_F(SchemaTest, TablesOfTheVersionsBeforeGainTheAppealsAndTheFleet) {
  {
    RecordStore store(database_);
    ASSERT_EQ(store.open(), "");
  }
  make({"DROP TABLE gs_appeals", "DROP TABLE gs_servers", "DROP TABLE gs_online",
        "DROP TABLE gs_requests", "DELETE FROM gs_schema"});
  ASSERT_FALSE(
      database_
          .run("INSERT INTO gs_schema VALUES (?)", {DbValue::integer(kModerationSchemaVersion - 1)})
          .error);
  RecordStore store(database_);
  ASSERT_EQ(store.open(), "");
  EXPECT_EQ(count("SELECT max(version) FROM gs_schema"), kModerationSchemaVersion);
  EXPECT_EQ(count("SELECT count(*) FROM gs_appeals"), 0);
  EXPECT_EQ(count("SELECT count(*) FROM gs_servers"), 0);
  EXPECT_EQ(count("SELECT count(*) FROM gs_online"), 0);
  EXPECT_EQ(count("SELECT count(*) FROM gs_requests"), 0);
}

TEST_F(SchemaTest, AnUpgradeThatFailsChangesNothing) {
  // A version 1 file that a script already gave a column of the new name.
  for (const char* statement : kVersion1) make({statement});
  make({"ALTER TABLE gs_audit ADD COLUMN server INTEGER"});
  RecordStore store(database_);
  EXPECT_EQ(store.open(), "duplicate column name: server");
  EXPECT_FALSE(database_.inTransaction());
  EXPECT_EQ(count("SELECT max(version) FROM gs_schema"), 1);
  EXPECT_EQ(count("SELECT count(*) FROM pragma_table_info('gs_chat') WHERE name = 'server'"), 0);
  EXPECT_EQ(count("SELECT count(*) FROM sqlite_master WHERE name = 'gs_kills'"), 0);
}

TEST_F(SchemaTest, AClientOlderThanTheTablesRefusesThem) {
  make({"CREATE TABLE gs_schema (version INTEGER NOT NULL)", "INSERT INTO gs_schema VALUES (1)",
        "INSERT INTO gs_schema VALUES (99)"});
  RecordStore store(database_);
  EXPECT_EQ(store.open(),
            "the moderation tables are of a newer gsadmin (version 99, this one knows " +
                std::to_string(kModerationSchemaVersion) + ")");
  EXPECT_FALSE(store.unavailable());
  EXPECT_EQ(count("SELECT count(*) FROM sqlite_master WHERE name LIKE 'gs_%'"), 1);
}

TEST(SchemaTextTest, PostgreSQLGetsIdentityKeysAnd64BitIntegers) {
  for (const std::string& statement : moderationSchema(SqlDialect::kPostgres)) {
    EXPECT_EQ(statement.find("INTEGER"), std::string::npos) << statement;
    if (statement.find(" id ") != std::string::npos) {
      EXPECT_NE(statement.find("id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"),
                std::string::npos)
          << statement;
    }
  }
  EXPECT_EQ(schemaVersionTable(SqlDialect::kPostgres),
            "CREATE TABLE IF NOT EXISTS gs_schema (version BIGINT NOT NULL)");
  EXPECT_EQ(moderationSchema(SqlDialect::kSqlite).size(),
            moderationSchema(SqlDialect::kPostgres).size());
}

}  // namespace
}  // namespace gsadmin
