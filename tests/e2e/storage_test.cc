// The real binary writing to its database: killed at any moment, it loses
// nothing it had committed.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>

#include "support/client_process.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {
namespace {

// Writes batches of five rows for ever, alternately in one transaction and
// as five single-statement commits, and says so after each batch committed.
const char kWriterScript[] =
    "dbExec('CREATE TABLE IF NOT EXISTS rows (id INTEGER PRIMARY KEY, batch, payload)')\n"
    "local batch = 0\n"
    "while true do\n"
    "  batch = batch + 1\n"
    "  local inTransaction = batch % 2 == 1\n"
    "  if inTransaction then dbExec('BEGIN') end\n"
    "  for j = 1, 5 do\n"
    "    dbExec('INSERT INTO rows VALUES (?, ?, ?)', batch * 10 + j, batch, string.rep('p', 200))\n"
    "  end\n"
    "  if inTransaction then dbExec('COMMIT') end\n"
    "  print('committed ' .. batch)\n"
    "end\n";

// Runs `sql` on the reopened file; each row's columns joined by ','.
std::vector<std::string> query(sqlite3* db, const char* sql) {
  std::vector<std::string> rows;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) return {"prepare failed"};
  while (sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int c = 0; c < sqlite3_column_count(statement); ++c) {
      const unsigned char* text = sqlite3_column_text(statement, c);
      row += (c ? "," : "") + std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    rows.push_back(row);
  }
  sqlite3_finalize(statement);
  return rows;
}

TEST(StorageTest, KilledDuringWritesKeepsEveryCommittedRow) {
  LoopbackPeer peer;  // never reached: the script writes before the client connects
  // The writer never returns from the main chunk: no time limit, so only the
  // kill below ends it, however slow the build.
  ClientProcess client(
      {"--script-budget=0", "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
      kWriterScript);
  ASSERT_TRUE(client.waitForLine("committed 2000", 20000)) << client.output();
  client.kill(SIGKILL);
  EXPECT_EQ(client.waitExit(), -1);
  client.readToEnd();

  // The last batch the client said it committed.
  const std::string& out = client.output();
  size_t at = out.rfind("committed ");
  ASSERT_NE(at, std::string::npos);
  int lastCommitted = std::atoi(out.c_str() + at + 10);
  ASSERT_GE(lastCommitted, 2000);

  std::string path = client.directory() + "/script.db";
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(query(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  // Every committed batch is whole; a batch after it may be whole, partly
  // there (single commits) or absent (one transaction), never half a
  // transaction.
  std::vector<std::string> counts = query(db, "SELECT batch, count(*) FROM rows GROUP BY batch");
  std::set<int> batches;
  for (const std::string& row : counts) {
    int batch = std::atoi(row.c_str());
    int count = std::atoi(row.c_str() + row.find(',') + 1);
    batches.insert(batch);
    if (batch <= lastCommitted || batch % 2 == 1) {
      EXPECT_EQ(count, 5) << "batch " << batch;
    }
  }
  for (int batch = 1; batch <= lastCommitted; ++batch) {
    ASSERT_TRUE(batches.count(batch)) << "committed batch " << batch << " is missing";
  }
  EXPECT_LE(static_cast<int>(batches.size()), lastCommitted + 1);
  sqlite3_close(db);
}

TEST(StorageTest, InterruptRollsBackAnOpenTransactionWithALine) {
  LoopbackPeer peer;
  ClientProcess client({"127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
                       "dbExec('CREATE TABLE t (x)')\n"
                       "dbExec('INSERT INTO t VALUES (1)')\n"
                       "dbExec('BEGIN')\n"
                       "dbExec('INSERT INTO t VALUES (2)')\n");
  ASSERT_TRUE(client.waitForLine("Connecting to")) << client.output();
  client.kill(SIGINT);
  EXPECT_EQ(client.waitExit(), 0);
  client.readToEnd();
  EXPECT_NE(client.output().find("\nLUA: Open database transaction rolled back.\n"),
            std::string::npos)
      << client.output();

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((client.directory() + "/script.db").c_str(), &db), SQLITE_OK);
  EXPECT_EQ(query(db, "SELECT x FROM t"), std::vector<std::string>{"1"});
  sqlite3_close(db);
}

TEST(StorageTest, AScriptWithoutDatabaseCallsCreatesNoFileWithoutModeration) {
  LoopbackPeer peer;
  ClientProcess client({"127.0.0.1", std::to_string(peer.port()), "Admin", "pw", "--no-moderation"},
                       "print('no storage here')\n");
  ASSERT_TRUE(client.waitForLine("Connecting to")) << client.output();
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(), 0);
  client.readToEnd();
  EXPECT_EQ(client.output().find("rolled back"), std::string::npos);
  struct stat info {};
  EXPECT_NE(stat((client.directory() + "/script.db").c_str(), &info), 0);
}

TEST(StorageTest, ADbPathThatIsNoRegularFileIsRefusedAtStart) {
  LoopbackPeer peer;
  TempDir dir;
  dir.write("real.db", "");
  ASSERT_EQ(symlink((dir.path() + "/real.db").c_str(), (dir.path() + "/link.db").c_str()), 0);
  ASSERT_EQ(mkfifo((dir.path() + "/fifo.db").c_str(), 0600), 0);
  for (const std::string name : {"link.db", "fifo.db", ".", "missing/x.db"}) {
    const std::string path = dir.path() + "/" + name;
    ClientProcess refused({"--db=" + path, "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
                          "dbExec('CREATE TABLE t (x)')\n");
    EXPECT_EQ(refused.waitExit(), 2) << name;
    std::string error = refused.errorOutput();
    EXPECT_EQ(error.rfind("gsadmin: --db: " + path, 0), 0u) << error;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
  }
  EXPECT_FALSE(peer.receive(200).has_value()) << "no login with a refused database";
  EXPECT_EQ(access((dir.path() + "/fifo.db-journal").c_str(), F_OK), -1);
  EXPECT_EQ(access((dir.path() + "/link.db-wal").c_str(), F_OK), -1);
}

// The client runs under an address-space limit that three huge values would
// pass, except under AddressSanitizer, whose shadow memory cannot be mapped
// under any such limit.
#if defined(__SANITIZE_ADDRESS__)
const char kLimitMemory[] = "exec \"$0\" \"$@\"";
#else
const char kLimitMemory[] = "ulimit -v 3000000 && exec \"$0\" \"$@\"";
#endif

// Single calls that took seconds to minutes and gigabytes are refused at
// once, and the client goes on: under a 3 GB address space the rows of
// three 900 MB zeroblobs once ended it with std::bad_alloc.
TEST(StorageTest, HugeValuesAndLongCallsAreRefusedAtOnce) {
  LoopbackPeer peer;
  ClientProcess client(
      {"-c", kLimitMemory, ClientProcess::defaultBinary(), "--script-budget=2000", "127.0.0.1",
       std::to_string(peer.port()), "Admin", "pw"},
      "print(dbQuery('SELECT zeroblob(900000000) AS a, zeroblob(900000000) AS b, "
      "zeroblob(900000000) AS c'))\n"
      "print(dbQuery(\"SELECT instr(hex(zeroblob(3000000)), hex(zeroblob(1500000)) || 'b') AS "
      "i\"))\n"
      "print(dbQuery(\"SELECT 'x' LIKE printf('%.*c', 100000, '%') || 'y' AS m\"))\n"
      "print('survived')\n",
      "/bin/sh");
  ASSERT_TRUE(client.waitForLine("survived", 10000)) << client.output();
  const std::string& out = client.output();
  EXPECT_NE(out.find("dbQuery: string or blob too big\n\n"
                     "dbQuery: string or blob too big\n\n"
                     "dbQuery: LIKE or GLOB pattern too complex\n\n"),
            std::string::npos)
      << out;
}

// The slowest single call the limits allow takes far longer than 1 ms (a
// tenth of a second or more), and could be stopped only once it returned:
// it once reported success.
TEST(StorageTest, ACallThatEndsPastTheBudgetReportsTheBudget) {
  LoopbackPeer peer;
  ClientProcess client(
      {"--script-budget=1", "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
      "function slow()\n"
      "  dbQuery(\"SELECT instr(printf('%.*c', 262143, 'a'), printf('%.*c', 131071, 'a') || "
      "'b')\")\n"
      "end\n"
      "addEventHandler('onStart', 'slow')\n");
  EXPECT_TRUE(client.waitForLine("dbQuery: ran longer than its budget of 1 ms", 20000))
      << client.output();
}

}  // namespace
}  // namespace gsadmin::testing
