// docs/fleet.md's backup of a shared database, as written there, on a real
// PostgreSQL server the suite starts itself: pg_dump, the tables lost,
// pg_restore, and every table has its rows again.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "moderation/record_store.h"
#include "storage/database.h"
#include "support/postgres_server.h"

namespace gsadmin {
namespace {

const char* const kTables[] = {"gs_players", "gs_sessions", "gs_chat",  "gs_sanctions",
                               "gs_notes",   "gs_admins",   "gs_audit", "gs_kills"};

class PostgresBackupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { postgres_.start(); }
  static void TearDownTestSuite() { postgres_.end(); }
  static testing::SuiteServer postgres_;
};

testing::SuiteServer PostgresBackupTest::postgres_;

std::vector<int64_t> rowCounts(Database& database) {
  std::vector<int64_t> counts;
  for (const char* table : kTables) {
    StatementResult result = database.run(std::string("SELECT count(*) FROM ") + table, {});
    counts.push_back(result.error || result.rowCount() != 1 ? -1 : result.values[0].integerValue);
  }
  return counts;
}

TEST_F(PostgresBackupTest, TheDocumentedDumpAndRestoreBringBackEveryRow) {
  if (!postgres_.available()) GTEST_SKIP() << testing::PostgresServer::kMissing;
  std::string uri = postgres_.newDatabase("backup");
  ASSERT_FALSE(uri.empty()) << postgres_.failure();
  std::unique_ptr<Database> database = makeDatabase(uri);
  ASSERT_TRUE(database->awaitConnection(5000));
  RecordStore store(*database);
  ASSERT_EQ(store.open(), "");
  for (int i = 0; i < 30; ++i) {
    ASSERT_FALSE(database
                     ->run("INSERT INTO gs_chat (time, name_key, name, text) VALUES (?, 'bob', "
                           "'Bob', 'line')",
                           {DbValue::integer(i)})
                     .error);
  }
  ASSERT_FALSE(database
                   ->run("INSERT INTO gs_audit (time, actor, action, target) VALUES (1, "
                         "'console:A', 'ban', 'bob')",
                         {})
                   .error);
  std::vector<int64_t> before = rowCounts(*database);
  EXPECT_EQ(before[2], 30);

  // As docs/fleet.md has it, the database named by its URI here.
  std::string dump = postgres_.server().directory() + "/gsadmin.dump";
  ASSERT_TRUE(postgres_.server().runTool("pg_dump", {"--format=custom", "--file=" + dump, uri}));
  ASSERT_FALSE(database->run("DROP TABLE gs_chat", {}).error);
  ASSERT_FALSE(database->run("DELETE FROM gs_audit", {}).error);
  EXPECT_NE(rowCounts(*database), before);
  ASSERT_TRUE(postgres_.server().runTool("pg_restore",
                                         {"--clean", "--if-exists", "--dbname=" + uri, dump}));
  EXPECT_EQ(rowCounts(*database), before);
}

}  // namespace
}  // namespace gsadmin
