// A read-only SQLite connection beside the writer's: it reads what was
// committed while the writer works, never writes, never creates the file
// and never follows a link.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "storage/sqlite_database.h"
#include "support/client_process.h"

namespace gsadmin {
namespace {

using testing::TempDir;

bool exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

TEST(SqliteReadOnlyTest, ReadsWhatWasCommittedBesideAnOpenWriteAndNeverWrites) {
  TempDir dir;
  SqliteDatabase writer(dir.path() + "/data.db");
  ASSERT_EQ(writer.run("CREATE TABLE t (v INTEGER)", {}).error, std::nullopt);
  ASSERT_EQ(writer.run("INSERT INTO t VALUES (1)", {}).error, std::nullopt);
  std::unique_ptr<Database> reader = writer.readOnlyConnection(1000);
  ASSERT_NE(reader, nullptr);

  // The writer holds its write lock: the reader neither waits nor sees it.
  ASSERT_EQ(writer.run("BEGIN IMMEDIATE", {}).error, std::nullopt);
  ASSERT_EQ(writer.run("INSERT INTO t VALUES (2)", {}).error, std::nullopt);
  StatementResult read = reader->run("SELECT count(*) FROM t", {});
  ASSERT_EQ(read.error, std::nullopt);
  EXPECT_EQ(read.values[0].integerValue, 1);
  ASSERT_EQ(writer.run("COMMIT", {}).error, std::nullopt);
  EXPECT_EQ(reader->run("SELECT count(*) FROM t", {}).values[0].integerValue, 2);

  for (const char* write : {"INSERT INTO t VALUES (3)", "CREATE TABLE u (v)", "DELETE FROM t"}) {
    StatementResult refused = reader->run(write, {});
    ASSERT_TRUE(refused.error) << write;
    EXPECT_NE(refused.error->find("readonly"), std::string::npos) << *refused.error;
  }
  EXPECT_EQ(writer.run("SELECT count(*) FROM t", {}).values[0].integerValue, 2);
}

TEST(SqliteReadOnlyTest, AMissingFileIsNotMadeAndALinkIsNotFollowed) {
  TempDir dir;
  std::string missing = dir.path() + "/missing.db";
  SqliteDatabase absent(missing, Database::kMaxResultBytes, SqliteDatabase::Access::kReadOnly);
  EXPECT_TRUE(absent.run("SELECT 1", {}).error);
  EXPECT_FALSE(exists(missing));

  SqliteDatabase target(dir.path() + "/target.db");
  ASSERT_EQ(target.run("CREATE TABLE t (v INTEGER)", {}).error, std::nullopt);
  std::string link = dir.path() + "/link.db";
  ASSERT_EQ(symlink((dir.path() + "/target.db").c_str(), link.c_str()), 0);
  SqliteDatabase linked(link, Database::kMaxResultBytes, SqliteDatabase::Access::kReadOnly);
  StatementResult refused = linked.run("SELECT count(*) FROM t", {});
  ASSERT_TRUE(refused.error);
  EXPECT_NE(refused.error->find("not a regular file"), std::string::npos) << *refused.error;
}

}  // namespace
}  // namespace gsadmin
