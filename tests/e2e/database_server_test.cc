// The real binary on a PostgreSQL server the test starts: the scripts'
// calls reach it, and the server going away and coming back is said on
// standard error while the client goes on.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

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

}  // namespace
}  // namespace gsadmin::testing
