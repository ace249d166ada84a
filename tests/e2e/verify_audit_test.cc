// --verify-audit through the real binary: the chain the client's store
// wrote holds, and one byte of one row changed by hand with the database's
// own tool (sqlite3, psql) is found by that row's id.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "moderation/audit_chain.h"
#include "moderation/record_store.h"
#include "storage/sqlite_database.h"
#include "support/client_process.h"
#include "support/postgres_server.h"
#include "support/text_file.h"

namespace gsadmin::testing {
namespace {

// Ten audit rows over two flushes, as the client records them.
void recordAudit(Database& database) {
  RecordStore store(database);
  ASSERT_EQ(store.open(), "");
  for (int i = 1; i <= 10; ++i) {
    store.queue(kInsertAudit,
                {DbValue::integer(1000 + i), DbValue::text("panel:alice"), DbValue::text("kick"),
                 DbValue::text("Player" + std::to_string(i)), DbValue::text("spamming"),
                 DbValue::text("east"), DbValue::integer(i)});
    if (i == 5) {
      ASSERT_FALSE(store.flush());
    }
  }
  ASSERT_FALSE(store.flush());
}

// The status and the output of --verify-audit on `location`.
std::pair<int, std::string> verify(const std::string& location) {
  ClientProcess verifier({"--verify-audit", "--db=" + location}, std::nullopt);
  int status = verifier.waitExit();
  verifier.readToEnd();
  return {status, verifier.output()};
}

const char kEditOneByte[] = "UPDATE gs_audit SET target = 'Q' || substr(target, 2) WHERE id = 7";

TEST(VerifyAuditTest, ARowEditedWithSqlite3IsNamed) {
  TempDir dir;
  std::string path = dir.path() + "/records.db";
  {
    SqliteDatabase database(path);
    recordAudit(database);
  }
  EXPECT_EQ(verify(path), std::make_pair(0, std::string("the audit's chain holds: 10 rows\n")));
  std::string edit = std::string("sqlite3 '") + path + "' \"" + kEditOneByte + "\"";
  ASSERT_EQ(std::system(edit.c_str()), 0) << edit;
  EXPECT_EQ(verify(path), std::make_pair(1, std::string("audit row 7 was changed\n")));
}

// The export read back equals the rows; a name of another kind and a file
// that exists are refused.
TEST(VerifyAuditTest, TheExportReadBackEqualsTheRows) {
  TempDir dir;
  std::string path = dir.path() + "/records.db";
  SqliteDatabase database(path);
  recordAudit(database);
  ClientProcess jsonl({"--db=" + path, "--export-audit=" + dir.path() + "/audit.jsonl"},
                      std::nullopt);
  ASSERT_EQ(jsonl.waitExit(), 0);
  StatementResult rows =
      database.run("SELECT id, time, actor, target FROM gs_audit ORDER BY id", {});
  ASSERT_EQ(rows.rowCount(), 10u);
  std::istringstream lines(readTextFile(dir.path() + "/audit.jsonl").value_or(""));
  size_t row = 0;
  for (std::string line; std::getline(lines, line); ++row) {
    nlohmann::json read = nlohmann::json::parse(line);
    ASSERT_LT(row, rows.rowCount());
    EXPECT_EQ(read["id"], rows.values[row * 4].integerValue);
    EXPECT_EQ(read["time"], rows.values[row * 4 + 1].integerValue);
    EXPECT_EQ(read["actor"], rows.values[row * 4 + 2].bytes);
    EXPECT_EQ(read["target"], rows.values[row * 4 + 3].bytes);
  }
  EXPECT_EQ(row, 10u);

  ClientProcess csv({"--db=" + path, "--export-audit=" + dir.path() + "/audit.csv"}, std::nullopt);
  ASSERT_EQ(csv.waitExit(), 0);
  std::string text = readTextFile(dir.path() + "/audit.csv").value_or("");
  EXPECT_TRUE(
      text.starts_with("id,time,actor,action,target,detail,server,sanction\r\n1,1001,panel:alice,"))
      << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);

  for (const char* name : {"/audit.csv", "/audit.txt"}) {
    ClientProcess refused({"--db=" + path, "--export-audit=" + dir.path() + name}, std::nullopt);
    EXPECT_EQ(refused.waitExit(), 2) << name;
  }
}

TEST(VerifyAuditTest, ARowEditedWithPsqlIsNamed) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("audit");
  ASSERT_FALSE(uri.empty()) << server.failure();
  {
    std::unique_ptr<Database> database = makeDatabase(uri);
    ASSERT_TRUE(database->awaitConnection(5000));
    recordAudit(*database);
  }
  EXPECT_EQ(verify(uri), std::make_pair(0, std::string("the audit's chain holds: 10 rows\n")));
  ASSERT_TRUE(server.runTool("psql", {"--quiet", "--command", kEditOneByte, uri}));
  EXPECT_EQ(verify(uri), std::make_pair(1, std::string("audit row 7 was changed\n")));
  ASSERT_TRUE(
      server.runTool("psql", {"--quiet", "--command", "DELETE FROM gs_audit WHERE id < 4", uri}));
  EXPECT_EQ(verify(uri), std::make_pair(1, std::string("audit rows before row 4 were removed\n")));
}

// Two clients of one database appending at once still make one chain:
// each links to the row the other wrote last.
TEST(VerifyAuditTest, TwoClientsAppendingTogetherMakeOneChain) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("fleet");
  ASSERT_FALSE(uri.empty()) << server.failure();
  auto client = [&uri](const char* name) {
    std::unique_ptr<Database> database = makeDatabase(uri);
    ASSERT_TRUE(database->awaitConnection(5000));
    RecordStore store(*database);
    ASSERT_EQ(store.open(), "");
    for (int i = 0; i < 60; ++i) {
      store.queue(kInsertAudit,
                  {DbValue::integer(i), DbValue::text(name), DbValue::text("warn"),
                   DbValue::text("P"), DbValue::text(""), DbValue::text(name), DbValue::null()});
      if (i % 3 == 2) {
        ASSERT_FALSE(store.flush());
      }
    }
  };
  std::thread east(client, "east");
  std::thread west(client, "west");
  east.join();
  west.join();
  EXPECT_EQ(verify(uri), std::make_pair(0, std::string("the audit's chain holds: 120 rows\n")));
}

}  // namespace
}  // namespace gsadmin::testing
