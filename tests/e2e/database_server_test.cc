// The real binary on a PostgreSQL server the test starts: the scripts'
// calls reach it, and the server going away and coming back is said on
// standard error while the client goes on.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "sim/server_messages.h"
#include "storage/database.h"
#include "storage/sqlite_database.h"
#include "support/admin_login.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "support/postgres_server.h"

namespace gsadmin::testing {
namespace {

// Waits until the client's standard error holds `needle`, a few seconds
// at most.
bool waitForError(const ClientProcess& client, const std::string& needle) {
  auto give = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < give) {
    if (client.errorOutput().find(needle) != std::string::npos) return true;
    usleep(50000);
  }
  return false;
}

TEST(DatabaseServerTest, ScriptsUseTheServerAndTheClientOutlivesIt) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("e2e");
  ASSERT_FALSE(uri.empty()) << server.failure();
  TempDir dir;
  dir.write("db-pw", "not needed by this server\n");
  chmod((dir.path() + "/db-pw").c_str(), 0600);

  LoopbackPeer peer;
  ClientProcess client(
      {"--no-moderation", "--db=" + uri, "--db-password-file", dir.path() + "/db-pw", "127.0.0.1",
       std::to_string(peer.port()), "Admin", "pw"},
      "dbExec('CREATE TABLE t (x BIGINT)')\n"
      "dbExec('INSERT INTO t VALUES (?)', 7)\n"
      "print('read ' .. dbQuery('SELECT x FROM t')[1].x)\n"
      "function onConsoleCommand(word)\n"
      "  if word == 'count' then\n"
      "    local rows = dbQuery('SELECT count(*) AS n FROM t')\n"
      "    print('rows ' .. (rows and rows[1].n or 'none'))\n"
      "  end\n"
      "end\n"
      "addEventHandler('onConsoleCommand', 'onConsoleCommand')\n",
      ClientProcess::defaultBinary(), std::nullopt, std::nullopt, ClientProcess::Input::kPipe);
  ASSERT_TRUE(client.waitForLine("read 7")) << client.output() << client.errorOutput();
  // Typed lines are read once the server has answered the login.
  ASSERT_TRUE(acceptLogin(peer));

  ASSERT_TRUE(server.stop());
  ASSERT_TRUE(waitForError(client, "gsadmin: database connection lost: ")) << client.errorOutput();
  client.writeInput(".count\n");
  EXPECT_TRUE(client.waitForLine("rows none")) << client.output();

  ASSERT_TRUE(server.start());
  ASSERT_TRUE(waitForError(client, "gsadmin: database connection is back\n"))
      << client.errorOutput();
  client.writeInput(".count\n");
  EXPECT_TRUE(client.waitForLine("rows 1")) << client.output();
  std::string errors = client.errorOutput();
  EXPECT_EQ(errors.find("lost"), errors.rfind("lost")) << "said once: " << errors;

  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(), 0);
}

TEST(DatabaseServerTest, AScriptsBudgetCancelsItsStatementAndTheConnectionStays) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("e2e");
  ASSERT_FALSE(uri.empty()) << server.failure();

  // The default budget, 5 s, is as long as the silence that drops a
  // connection whose server is gone.
  LoopbackPeer peer;
  ClientProcess client(
      {"--no-moderation", "--db=" + uri, "127.0.0.1", std::to_string(peer.port()), "Admin", "pw"},
      "dbExec('CREATE TABLE t (x BIGINT)')\n"
      "print('ready')\n"
      "function onConsoleCommand(word)\n"
      "  if word == 'sleep' then\n"
      "    dbQuery('SELECT pg_sleep(30)')\n"
      "  elseif word == 'count' then\n"
      "    local rows = dbQuery('SELECT count(*) AS n FROM t')\n"
      "    print('rows ' .. (rows and rows[1].n or 'none'))\n"
      "  end\n"
      "end\n"
      "addEventHandler('onConsoleCommand', 'onConsoleCommand')\n",
      ClientProcess::defaultBinary(), std::nullopt, std::nullopt, ClientProcess::Input::kPipe);
  ASSERT_TRUE(client.waitForLine("ready")) << client.output() << client.errorOutput();
  ASSERT_TRUE(acceptLogin(peer));

  client.writeInput(".sleep\n.count\n");
  EXPECT_TRUE(client.waitForLine("dbQuery: ran longer than its budget of 5000 ms", 15000))
      << client.output();
  EXPECT_TRUE(client.waitForLine("rows 0")) << client.output();
  EXPECT_EQ(client.errorOutput().find("gsadmin: database connection lost"), std::string::npos)
      << client.errorOutput();

  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(), 0);
}

// The count `sql` finds on `uri`, -1 when it cannot be read.
int64_t countOn(const std::string& uri, const char* sql) {
  std::unique_ptr<Database> database = makeDatabase(uri);
  if (!database->awaitConnection(5000)) return -1;
  StatementResult found = database->run(sql, {});
  return !found.error && found.rowCount() == 1 ? found.values[0].integerValue : -1;
}

// Chat recorded while the server is away, then the client killed: the next
// run sends every line from the journal, once.
TEST(DatabaseServerTest, RecordsMadeWhileTheServerIsAwaySurviveAKilledClient) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("journal");
  ASSERT_FALSE(uri.empty()) << server.failure();
  TempDir dir;
  std::string journal = dir.path() + "/journal.db";
  std::vector<std::string> args = {"--db=" + uri, "--journal=" + journal, "--no-input"};
  {
    LoopbackPeer peer;
    std::vector<std::string> first = args;
    for (const char* arg : {"127.0.0.1", "", "Admin", "pw"}) first.push_back(arg);
    first[first.size() - 3] = std::to_string(peer.port());
    ClientProcess client(first, "print('ready')\n");
    ASSERT_TRUE(client.waitForLine("ready")) << client.errorOutput();
    ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}}));
    ASSERT_TRUE(server.stop());
    for (int i = 0; i < 5; ++i) peer.send(chatLine(3, 0, "line " + std::to_string(i)));
    ASSERT_TRUE(client.waitForLine("line 4")) << client.output();
    // Kept a batch later (well within a second): then the client dies.
    auto give = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int64_t kept = 0;
    while (kept < 5 && std::chrono::steady_clock::now() < give) {
      usleep(100000);
      SqliteDatabase file(journal, Database::kMaxResultBytes, SqliteDatabase::Access::kReadOnly);
      StatementResult found = file.run("SELECT count(*) FROM gs_journal", {});
      if (!found.error && found.rowCount() == 1) kept = found.values[0].integerValue;
    }
    ASSERT_GE(kept, 5);
    client.kill(SIGKILL);
    client.waitExit();
  }
  ASSERT_TRUE(server.start());
  LoopbackPeer peer;
  args.insert(args.end(), {"127.0.0.1", std::to_string(peer.port()), "Admin", "pw"});
  ClientProcess client(args, "print('ready')\n");
  ASSERT_TRUE(client.waitForLine("ready")) << client.errorOutput();
  EXPECT_NE(client.output().find(" records from " + journal + " to write\n"), std::string::npos)
      << client.output();
  ASSERT_TRUE(acceptLogin(peer));
  auto give = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (countOn(uri, "SELECT count(*) FROM gs_chat") < 5 &&
         std::chrono::steady_clock::now() < give) {
    usleep(100000);
  }
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(), 0);
  EXPECT_EQ(countOn(uri, "SELECT count(*) FROM gs_chat"), 5);
  EXPECT_EQ(countOn(uri, "SELECT count(DISTINCT text) FROM gs_chat"), 5);
}

}  // namespace
}  // namespace gsadmin::testing
