// The scripts' database against real SQLite files in a temporary directory:
// the file rules and the failures a script must survive.

#include "storage/sqlite_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "storage/sql_sandbox.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;

int modeOf(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 0777) : -1;
}

std::string errorOf(const StatementResult& result) {
  return result.error.value_or("(no error)");
}

// A second connection of the test's own, as another process would hold.
class OtherConnection {
 public:
  explicit OtherConnection(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
  ~OtherConnection() { sqlite3_close(db_); }
  int exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

 private:
  sqlite3* db_ = nullptr;
};

TEST(SqliteDatabaseTest, CreatesItsFilesPrivateAndInWalMode) {
  TempDir dir;
  std::string path = dir.path() + "/stats.db";
  SqliteDatabase db(path);
  EXPECT_EQ(modeOf(path), -1) << "nothing before the first statement";
  mode_t previous = umask(0);  // even a permissive umask gives 0600
  StatementResult created = db.run("CREATE TABLE t (x)", {});
  umask(previous);
  ASSERT_FALSE(created.error) << *created.error;
  EXPECT_EQ(modeOf(path), 0600);
  EXPECT_EQ(modeOf(path + "-wal"), 0600);
  EXPECT_EQ(modeOf(path + "-shm"), 0600);
  StatementResult mode = db.run("PRAGMA journal_mode", {});
  ASSERT_EQ(mode.values.size(), 1u);
  EXPECT_EQ(mode.values[0].bytes, "wal");
  StatementResult sync = db.run("PRAGMA synchronous", {});
  ASSERT_EQ(sync.values.size(), 1u);
  EXPECT_EQ(sync.values[0].integerValue, 1) << "NORMAL";
  // A bounded page cache, for reading and writing connections alike.
  SqliteDatabase reader(path, SqliteDatabase::kMaxResultBytes, SqliteDatabase::Access::kReadOnly);
  for (SqliteDatabase* connection : {&db, &reader}) {
    StatementResult cache = connection->run("PRAGMA cache_size", {});
    ASSERT_EQ(cache.values.size(), 1u);
    EXPECT_EQ(cache.values[0].integerValue, -SqliteDatabase::kPageCacheKiB);
  }
}

TEST(SqliteDatabaseTest, AnOpenFailureIsReportedAndRetried) {
  TempDir dir;
  SqliteDatabase db(dir.path() + "/missing/x.db");
  EXPECT_EQ(errorOf(db.run("SELECT 1", {})),
            "cannot create " + dir.path() + "/missing/x.db: No such file or directory");
  EXPECT_FALSE(db.isOpen());
  ASSERT_EQ(mkdir((dir.path() + "/missing").c_str(), 0700), 0);
  EXPECT_FALSE(db.run("SELECT 1", {}).error);
}

TEST(SqliteDatabaseTest, ALockedDatabaseGivesBusyAfterTheTimeoutAndRecovers) {
  TempDir dir;
  std::string path = dir.path() + "/locked.db";
  SqliteDatabase db(path);
  ASSERT_FALSE(db.run("CREATE TABLE t (x)", {}).error);
  OtherConnection other(path);
  ASSERT_EQ(other.exec("BEGIN IMMEDIATE"), SQLITE_OK);
  EXPECT_EQ(errorOf(db.run("INSERT INTO t VALUES (1)", {})), "database is locked");
  // Reading goes on under WAL while the other connection writes.
  EXPECT_FALSE(db.run("SELECT * FROM t", {}).error);
  ASSERT_EQ(other.exec("COMMIT"), SQLITE_OK);
  EXPECT_EQ(db.run("INSERT INTO t VALUES (1)", {}).changes, 1);
}

TEST(SqliteDatabaseTest, AFullDatabaseGivesItsErrorAndGoesOn) {
  TempDir dir;
  SqliteDatabase db(dir.path() + "/full.db");
  ASSERT_FALSE(db.run("CREATE TABLE t (x)", {}).error);
  StatementResult pages = db.run("PRAGMA page_count", {});
  ASSERT_EQ(pages.values.size(), 1u);
  std::string limit = "PRAGMA max_page_count = " + std::to_string(pages.values[0].integerValue);
  ASSERT_FALSE(db.run(limit, {}).error);
  EXPECT_EQ(errorOf(db.run("INSERT INTO t VALUES (?)", {DbValue::blob(std::string(65536, 'x'))})),
            "database or disk is full");
  EXPECT_EQ(db.run("SELECT count(*) FROM t", {}).values.at(0).integerValue, 0);
}

TEST(SqliteDatabaseTest, ACorruptFileGivesItsErrorAndGoesOn) {
  TempDir dir;
  std::string path = dir.path() + "/corrupt.db";
  std::ofstream(path) << std::string(8192, 'Z');
  SqliteDatabase db(path);
  EXPECT_EQ(errorOf(db.run("SELECT 1", {})), "file is not a database");
  EXPECT_EQ(errorOf(db.run("CREATE TABLE t (x)", {})), "file is not a database");
  EXPECT_FALSE(db.rollBackOpenTransaction());
}

// Reads and then writes a read-only file; "rows,error".
std::string useReadOnly(const std::string& path) {
  SqliteDatabase db(path);
  StatementResult read = db.run("SELECT x FROM t", {});
  StatementResult write = db.run("INSERT INTO t VALUES (2)", {});
  return std::to_string(read.rowCount()) + "," + errorOf(read) + "," + errorOf(write);
}

TEST(SqliteDatabaseTest, AReadOnlyFileCanBeReadAndRefusesWrites) {
  TempDir dir;
  std::string path = dir.path() + "/ro.db";
  {
    OtherConnection setup(path);
    ASSERT_EQ(setup.exec("CREATE TABLE t (x); INSERT INTO t VALUES (1)"), SQLITE_OK);
  }
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
  std::string outcome;
  if (geteuid() != 0) {
    outcome = useReadOnly(path);
  } else {
    // Permissions bind root only after it gives them up, so a child does.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
      std::string result = useReadOnly(path);
      ssize_t written = write(fds[1], result.data(), result.size());
      _exit(written == static_cast<ssize_t>(result.size()) ? 0 : 3);
    }
    close(fds[1]);
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) outcome.append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  chmod(dir.path().c_str(), 0700);
  EXPECT_EQ(outcome, "1,(no error),attempt to write a readonly database");
}

TEST(SqliteDatabaseTest, RollsBackOnlyAnOpenTransaction) {
  TempDir dir;
  SqliteDatabase db(dir.path() + "/tx.db");
  EXPECT_FALSE(db.rollBackOpenTransaction());
  EXPECT_FALSE(db.isOpen()) << "rolling back opens nothing";
  ASSERT_FALSE(db.run("CREATE TABLE t (x)", {}).error);
  EXPECT_FALSE(db.rollBackOpenTransaction());
  ASSERT_FALSE(db.run("BEGIN", {}).error);
  ASSERT_FALSE(db.run("INSERT INTO t VALUES (1)", {}).error);
  EXPECT_TRUE(db.rollBackOpenTransaction());
  EXPECT_EQ(db.run("SELECT count(*) FROM t", {}).values.at(0).integerValue, 0);
  EXPECT_FALSE(db.rollBackOpenTransaction());
}

TEST(SqliteDatabaseTest, ReusedStatementsSeeNewBindingsAndSchemaChanges) {
  TempDir dir;
  SqliteDatabase db(dir.path() + "/reuse.db");
  ASSERT_FALSE(db.run("CREATE TABLE t (k INTEGER PRIMARY KEY, v)", {}).error);
  // More distinct statements than the cache holds, then the first again.
  for (int i = 0; i < static_cast<int>(SqliteDatabase::kCachedStatements) + 5; ++i) {
    std::string sql = "INSERT INTO t VALUES (?, " + std::to_string(i) + ")";
    ASSERT_EQ(db.run(sql, {DbValue::integer(i)}).changes, 1);
  }
  EXPECT_EQ(db.run("SELECT v FROM t WHERE k = ?", {DbValue::integer(3)}).values.at(0).integerValue,
            3);
  EXPECT_EQ(db.run("SELECT * FROM t WHERE k = ?", {DbValue::integer(4)}).columns.size(), 2u);
  ASSERT_FALSE(db.run("ALTER TABLE t ADD COLUMN w DEFAULT 7", {}).error);
  StatementResult row = db.run("SELECT * FROM t WHERE k = ?", {DbValue::integer(4)});
  ASSERT_EQ(row.columns.size(), 3u);
  EXPECT_EQ(row.values.at(2).integerValue, 7);
}

TEST(SqliteDatabaseTest, SqlCannotWriteOtherFiles) {
  TempDir dir;
  SqliteDatabase db(dir.path() + "/own.db");
  EXPECT_EQ(errorOf(db.run("ATTACH ? AS other", {DbValue::text(dir.path() + "/other.db")})),
            "not authorized");
  EXPECT_TRUE(db.run("VACUUM INTO ?", {DbValue::text(dir.path() + "/copy.db")}).error);
  EXPECT_TRUE(db.run("SELECT load_extension('x')", {}).error);
  EXPECT_EQ(modeOf(dir.path() + "/other.db"), -1);
  EXPECT_EQ(modeOf(dir.path() + "/copy.db"), -1);
}

TEST(SqliteDatabaseTest, SqlCannotReachCodeOrTheSchemaOrMoveItsFiles) {
  TempDir dir;
  SqliteDatabase db(dir.path() + "/own.db");
  ASSERT_FALSE(db.run("CREATE TABLE t (x)", {}).error);
  const std::string elsewhere = "'" + dir.path() + "/elsewhere'";
  const struct {
    std::string sql;
    std::string error;
  } cases[] = {
      {"SELECT fts3_tokenizer('simple')", "not authorized to use function: fts3_tokenizer"},
      {"SELECT FTS3_TOKENIZER('evil', x'4141414141414141')",
       "not authorized to use function: FTS3_TOKENIZER"},
      {"SELECT load_extension('x')", "not authorized to use function: load_extension"},
      {"PRAGMA temp_store_directory = " + elsewhere, "not authorized"},
      {"PRAGMA main.data_store_directory = " + elsewhere, "not authorized"},
      {"ATTACH ':memory:' AS m", "not authorized"},
      {"PRAGMA writable_schema = ON", "(no error)"},  // the defensive flag outranks it
      {"UPDATE sqlite_master SET sql = 'x'", "table sqlite_master may not be modified"},
      {"PRAGMA writable_schema = OFF", "(no error)"},
      {"ATTACH '' AS scratch", "(no error)"},  // a private temporary database
      {"DETACH scratch", "(no error)"},
      {"VACUUM", "(no error)"},  // which attaches one too
      {"VACUUM INTO " + elsewhere, "authorization denied"},
  };
  for (const auto& c : cases) EXPECT_EQ(errorOf(db.run(c.sql, {})), c.error) << c.sql;
  EXPECT_EQ(db.run("PRAGMA integrity_check", {}).values.at(0).bytes, "ok");
}

TEST(SqliteDatabaseTest, ARefusedSecondStatementIsNeverPrepared) {
  TempDir dir;
  SqliteDatabase db(dir.path() + "/own.db");
  ASSERT_FALSE(db.run("CREATE TABLE t (x)", {}).error);
  // A flag PRAGMA acts while it is prepared: not even that may happen.
  for (const char* sql :
       {"SELECT 1; PRAGMA query_only = ON", "PRAGMA query_only = ON; SELECT 1",
        "CREATE TRIGGER r AFTER INSERT ON t BEGIN SELECT 1; END; PRAGMA query_only = ON"}) {
    EXPECT_EQ(errorOf(db.run(sql, {})), "only one statement may be run per call") << sql;
    EXPECT_EQ(db.run("INSERT INTO t VALUES (1)", {}).changes, 1) << sql;
  }
  EXPECT_EQ(db.run("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'", {})
                .values.at(0)
                .integerValue,
            0);
}

// The value of a one-row, one-column query, or its error.
std::string valueOf(Database& db, const std::string& sql) {
  StatementResult result = db.run(sql, {});
  if (result.error) return *result.error;
  const DbValue& value = result.values.at(0);
  return value.type == DbValue::Type::kInteger ? std::to_string(value.integerValue) : value.bytes;
}

TEST(SqliteDatabaseTest, OneFunctionCallCannotRunForLong) {
  TempDir dir;
  SqliteDatabase db(dir.path() + "/own.db");
  const std::string tooLong = std::to_string(SqlLimits::kValueBytes + 1);
  const std::string pattern = std::to_string(SqlLimits::kPatternBytes);
  const struct {
    std::string sql;
    std::string outcome;
  } cases[] = {
      {"SELECT instr(hex(zeroblob(1500000)), hex(zeroblob(750000)) || 'b')",
       "string or blob too big"},
      // SQLite's printf gives NULL for a text past the limit.
      {"SELECT quote(instr(printf('%.*c', 3000000, 'a'), printf('%.*c', 1500000, 'a') || 'b'))",
       "NULL"},
      {"SELECT length(zeroblob(" + tooLong + "))", "string or blob too big"},
      {"SELECT 'a' LIKE '%' || printf('%.*c', " + pattern + ", 'a')",
       "LIKE or GLOB pattern too complex"},
      {"SELECT 'a' GLOB '*' || printf('%.*c', " + pattern + ", 'a')",
       "LIKE or GLOB pattern too complex"},
      {"SELECT length(trim('abc', printf('%.*c', " +
           std::to_string(SqlLimits::kTrimCharacters + 1) + ", 'x')))",
       "character set of trim too long"},
      // A long statement as such still runs.
      {"SELECT length(printf('%.*c', 200000, 'a'))", "200000"},
  };
  for (const auto& c : cases) EXPECT_EQ(valueOf(db, c.sql), c.outcome) << c.sql;
  EXPECT_EQ(
      errorOf(db.run("SELECT ?", {DbValue::blob(std::string(SqlLimits::kValueBytes + 1, 'x'))})),
      "string or blob too big");
}

TEST(SqliteDatabaseTest, TrimWithACharacterSetGivesSqlitesOwnResults) {
  TempDir dir;
  SqliteDatabase db(dir.path() + "/own.db");
  sqlite3* plain = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &plain), SQLITE_OK);
  for (const char* sql :
       {"SELECT trim('xxhixx', 'x')", "SELECT ltrim('xyhiyx', 'yx')", "SELECT rtrim('xyhiyx', 'y')",
        "SELECT trim('\xc3\xa9h\xc3\xa9', '\xc3\xa9')", "SELECT trim('aa', '')",
        "SELECT quote(trim(NULL, 'a'))", "SELECT quote(trim('a', NULL))",
        "SELECT trim(x'616263', 'ac')", "SELECT trim(12321, 1)", "SELECT trim('ééaéé', 'é')",
        // Lone lead bytes and continuation bytes, as SQLite splits them.
        "SELECT hex(trim(x'c3c3a9c3a9c341c3a9', x'c341c3a9'))",
        "SELECT hex(ltrim(x'a9a9c3a942', x'a9c3a9'))",
        "SELECT hex(rtrim(x'42c3a9a9c3', x'c3a9c3'))", "SELECT hex(rtrim(x'41c3a9', x'a9c3a9'))",
        "SELECT hex(trim(x'41', x'41c3'))"}) {
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(plain, sql, -1, &statement, nullptr), SQLITE_OK) << sql;
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    const unsigned char* expected = sqlite3_column_text(statement, 0);
    EXPECT_EQ(valueOf(db, sql), expected ? reinterpret_cast<const char*>(expected) : "") << sql;
    sqlite3_finalize(statement);
  }
  sqlite3_close(plain);
}

TEST(SqliteDatabaseTest, AStatementEndingPastTheBudgetReportsIt) {
  TempDir dir;
  SqliteDatabase db(dir.path() + "/own.db");
  ASSERT_FALSE(db.run("CREATE TABLE t (x)", {}).error);
  const char* reason = "ran longer than its budget of 2000 ms";
  // Used up before the statement: it does not start.
  db.setInterruptCheck([reason]() { return reason; });
  EXPECT_EQ(errorOf(db.run("INSERT INTO t VALUES (1)", {})), reason);
  // Used up while one long call ran (no look between rows): the statement
  // ends with the budget's error, not success.
  int looks = 0;
  db.setInterruptCheck([&looks, reason]() { return ++looks > 1 ? reason : nullptr; });
  EXPECT_EQ(errorOf(db.run("SELECT 1", {})), reason);
  db.setInterruptCheck(nullptr);
  EXPECT_EQ(valueOf(db, "SELECT count(*) FROM t"), "0");
}

TEST(SqliteDatabaseTest, TheResultCapIsCheckedBeforeEachValueIsCopied) {
  TempDir dir;
  constexpr size_t kCap = 1024 * 1024;
  SqliteDatabase db(dir.path() + "/own.db", kCap);
  const std::string rows =
      "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c LIMIT ?) "
      "SELECT zeroblob(200000) AS a, zeroblob(200000) AS b FROM c";
  EXPECT_EQ(db.run(rows, {DbValue::integer(2)}).values.size(), 4u);
  StatementResult tooLarge = db.run(rows, {DbValue::integer(3)});
  EXPECT_EQ(errorOf(tooLarge), "result too large");
  EXPECT_TRUE(tooLarge.values.empty());
}

TEST(SqliteDatabaseTest, AnEndlessStatementStopsWhenTheCheckSaysSo) {
  TempDir dir;
  SqliteDatabase db(dir.path() + "/script.db");
  int checks = 0;
  db.setInterruptCheck(
      [&checks]() -> const char* { return ++checks > 3 ? "interrupted" : nullptr; });
  const std::string endless =
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c";
  StatementResult stopped = db.run(endless, {});
  EXPECT_EQ(stopped.error.value_or(""), "interrupted");
  // The next statement runs as usual once the check lets it.
  checks = -1000000;
  StatementResult next = db.run("SELECT 1 + 1", {});
  ASSERT_FALSE(next.error) << *next.error;
  EXPECT_EQ(next.values.at(0).integerValue, 2);
}

TEST(SqliteDatabaseTest, PathBesideTheScript) {
  EXPECT_EQ(databasePathForScript("script.lua"), "script.db");
  EXPECT_EQ(databasePathForScript("/srv/bots/stats.lua"), "/srv/bots/script.db");
  EXPECT_EQ(databasePathForScript("bots/stats.lua"), "bots/script.db");
  EXPECT_EQ(databasePathForScript("/script.lua"), "/script.db");
}

}  // namespace
}  // namespace gsadmin
