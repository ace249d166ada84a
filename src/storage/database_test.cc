// The scripts' database against real SQLite files in a temporary directory:
// the file rules and the failures a script must survive.

#include "storage/database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

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

TEST(DatabaseTest, CreatesItsFilesPrivateAndInWalMode) {
  TempDir dir;
  std::string path = dir.path() + "/stats.db";
  Database db(path);
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
}

TEST(DatabaseTest, AnOpenFailureIsReportedAndRetried) {
  TempDir dir;
  Database db(dir.path() + "/missing/x.db");
  EXPECT_EQ(errorOf(db.run("SELECT 1", {})),
            "cannot create " + dir.path() + "/missing/x.db: No such file or directory");
  EXPECT_FALSE(db.isOpen());
  ASSERT_EQ(mkdir((dir.path() + "/missing").c_str(), 0700), 0);
  EXPECT_FALSE(db.run("SELECT 1", {}).error);
}

TEST(DatabaseTest, ALockedDatabaseGivesBusyAfterTheTimeoutAndRecovers) {
  TempDir dir;
  std::string path = dir.path() + "/locked.db";
  Database db(path);
  ASSERT_FALSE(db.run("CREATE TABLE t (x)", {}).error);
  OtherConnection other(path);
  ASSERT_EQ(other.exec("BEGIN IMMEDIATE"), SQLITE_OK);
  EXPECT_EQ(errorOf(db.run("INSERT INTO t VALUES (1)", {})), "database is locked");
  // Reading goes on under WAL while the other connection writes.
  EXPECT_FALSE(db.run("SELECT * FROM t", {}).error);
  ASSERT_EQ(other.exec("COMMIT"), SQLITE_OK);
  EXPECT_EQ(db.run("INSERT INTO t VALUES (1)", {}).changes, 1);
}

TEST(DatabaseTest, AFullDatabaseGivesItsErrorAndGoesOn) {
  TempDir dir;
  Database db(dir.path() + "/full.db");
  ASSERT_FALSE(db.run("CREATE TABLE t (x)", {}).error);
  StatementResult pages = db.run("PRAGMA page_count", {});
  ASSERT_EQ(pages.values.size(), 1u);
  std::string limit = "PRAGMA max_page_count = " + std::to_string(pages.values[0].integerValue);
  ASSERT_FALSE(db.run(limit, {}).error);
  EXPECT_EQ(errorOf(db.run("INSERT INTO t VALUES (?)", {DbValue::blob(std::string(65536, 'x'))})),
            "database or disk is full");
  EXPECT_EQ(db.run("SELECT count(*) FROM t", {}).values.at(0).integerValue, 0);
}

TEST(DatabaseTest, ACorruptFileGivesItsErrorAndGoesOn) {
  TempDir dir;
  std::string path = dir.path() + "/corrupt.db";
  std::ofstream(path) << std::string(8192, 'Z');
  Database db(path);
  EXPECT_EQ(errorOf(db.run("SELECT 1", {})), "file is not a database");
  EXPECT_EQ(errorOf(db.run("CREATE TABLE t (x)", {})), "file is not a database");
  EXPECT_FALSE(db.rollBackOpenTransaction());
}

// Reads and then writes a read-only file; "rows,error".
std::string useReadOnly(const std::string& path) {
  Database db(path);
  StatementResult read = db.run("SELECT x FROM t", {});
  StatementResult write = db.run("INSERT INTO t VALUES (2)", {});
  return std::to_string(read.rowCount()) + "," + errorOf(read) + "," + errorOf(write);
}

TEST(DatabaseTest, AReadOnlyFileCanBeReadAndRefusesWrites) {
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

TEST(DatabaseTest, RollsBackOnlyAnOpenTransaction) {
  TempDir dir;
  Database db(dir.path() + "/tx.db");
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

TEST(DatabaseTest, ReusedStatementsSeeNewBindingsAndSchemaChanges) {
  TempDir dir;
  Database db(dir.path() + "/reuse.db");
  ASSERT_FALSE(db.run("CREATE TABLE t (k INTEGER PRIMARY KEY, v)", {}).error);
  // More distinct statements than the cache holds, then the first again.
  for (int i = 0; i < static_cast<int>(Database::kCachedStatements) + 5; ++i) {
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

TEST(DatabaseTest, SqlCannotWriteOtherFiles) {
  TempDir dir;
  Database db(dir.path() + "/own.db");
  EXPECT_EQ(errorOf(db.run("ATTACH ? AS other", {DbValue::text(dir.path() + "/other.db")})),
            "too many attached databases - max 0");
  EXPECT_TRUE(db.run("VACUUM INTO ?", {DbValue::text(dir.path() + "/copy.db")}).error);
  EXPECT_TRUE(db.run("SELECT load_extension('x')", {}).error);
  EXPECT_EQ(modeOf(dir.path() + "/other.db"), -1);
  EXPECT_EQ(modeOf(dir.path() + "/copy.db"), -1);
}

TEST(DatabaseTest, AnEndlessStatementStopsWhenTheCheckSaysSo) {
  TempDir dir;
  Database db(dir.path() + "/script.db");
  int checks = 0;
  db.setInterruptCheck([&checks]() -> const char* { return ++checks > 3 ? "interrupted" : nullptr; });
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

TEST(DatabaseTest, PathBesideTheScript) {
  EXPECT_EQ(databasePathForScript("script.lua"), "script.db");
  EXPECT_EQ(databasePathForScript("/srv/bots/stats.lua"), "/srv/bots/script.db");
  EXPECT_EQ(databasePathForScript("bots/stats.lua"), "bots/script.db");
  EXPECT_EQ(databasePathForScript("/script.lua"), "/script.db");
}

}  // namespace
}  // namespace gsadmin
