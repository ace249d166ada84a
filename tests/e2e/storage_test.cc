// The real binary writing to its database: killed at any moment, it loses
// nothing it had committed.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>

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

TEST(StorageTest, AScriptWithoutDatabaseCallsCreatesNoFile) {
  LoopbackPeer peer;
  ClientProcess client({"127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
                       "print('no storage here')\n");
  ASSERT_TRUE(client.waitForLine("Connecting to")) << client.output();
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(), 0);
  client.readToEnd();
  EXPECT_EQ(client.output().find("rolled back"), std::string::npos);
  struct stat info {};
  EXPECT_NE(stat((client.directory() + "/script.db").c_str(), &info), 0);
}

}  // namespace
}  // namespace gsadmin::testing
