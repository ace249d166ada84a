// The moderation of a session whose PostgreSQL server is away at the start:
// it stays on, keeps what is done meanwhile, and opens (making the tables)
// when the server comes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "moderation/moderation.h"
#include "support/client_process.h"
#include "support/postgres_server.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::PostgresServer;
using testing::SessionHarness;

TEST(ModerationDatabaseTest, AServerAwayAtTheStartIsWaitedFor) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("waits");
  ASSERT_FALSE(uri.empty()) << server.failure();
  ASSERT_TRUE(server.stop());

  SessionHarness h(std::nullopt, defaults::kAdminName, defaults::kAdminPassword,
                   testing::Transport::kInMemory, [uri](SessionSettings& settings) {
                     settings.databasePath = uri;
                     settings.moderation.serverName = "arena";
                   });
  ASSERT_TRUE(h.started());
  EXPECT_EQ(h.errors().find("moderation is off"), std::string::npos);
  ASSERT_NE(h.session().moderation(), nullptr);
  h.connect();
  h.addPlayer(4, "Bob");
  h.session().handleTypedLine(".tempban Bob 1h flood");
  EXPECT_NE(h.output().find("* console:Admin banned Bob for 1h"), std::string::npos);
  h.session().handleTypedLine(".seen Bob");
  EXPECT_EQ(h.output(), "* .seen: cannot read the records: not connected to the database\n");

  ASSERT_TRUE(server.start());
  Database& database = h.session().database();
  auto give = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  int64_t written = 0;
  while (written == 0 && std::chrono::steady_clock::now() < give) {
    h.clock().advance(500);
    h.session().poll();
    StatementResult found = database.run(
        "SELECT count(*) FROM gs_sanctions WHERE name_key = 'bob' AND server = 'arena'", {});
    if (!found.error && found.rowCount() == 1) written = found.values[0].integerValue;
    usleep(5000);
  }
  EXPECT_EQ(written, 1);
  EXPECT_TRUE(h.session().moderation()->sanctions().activeBan("Bob", h.clock().wallSeconds()));
  h.session().handleTypedLine(".seen Bob");
  EXPECT_NE(h.output().find(" on arena, "), std::string::npos);
}

// Warnings given while the server is away still count toward the kick:
// from the last reading and from the records waiting to be written.
TEST(ModerationDatabaseTest, WarningsWhileTheServerIsAwayStillReachTheKick) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("warns");
  ASSERT_FALSE(uri.empty()) << server.failure();
  SessionHarness h(std::nullopt, defaults::kAdminName, defaults::kAdminPassword,
                   testing::Transport::kInMemory,
                   [uri](SessionSettings& settings) { settings.databasePath = uri; });
  ASSERT_TRUE(h.started());
  h.connect();
  h.addPlayer(4, "Bob");
  h.session().handleTypedLine(".warn Bob one");  // written and read back
  ASSERT_NE(h.output().find("(1 active)"), std::string::npos);
  ASSERT_TRUE(server.stop());
  h.session().handleTypedLine(".warn Bob two");
  h.session().handleTypedLine(".warn Bob three");
  std::string said = h.output();
  EXPECT_NE(said.find("(2 active): two"), std::string::npos) << said;
  EXPECT_NE(said.find("(3 active): three"), std::string::npos) << said;
  EXPECT_NE(said.find("kicked Bob"), std::string::npos) << said;
}

// Records made while the server is away and still waiting at the end are
// kept in the journal; the next run writes each of them once.
TEST(ModerationDatabaseTest, WhatTheServerAwayAtTheEndCannotTakeWaitsForTheNextRun) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("ends");
  ASSERT_FALSE(uri.empty()) << server.failure();
  testing::TempDir dir;
  std::string journal = dir.path() + "/gsadmin-journal.db";
  auto settings = [uri, journal](SessionSettings& settings) {
    settings.databasePath = uri;
    settings.moderation.journalPath = journal;
  };
  {
    SessionHarness h(std::nullopt, defaults::kAdminName, defaults::kAdminPassword,
                     testing::Transport::kInMemory, settings);
    ASSERT_TRUE(h.started());
    h.connect();
    h.addPlayer(4, "Bob");
    ASSERT_TRUE(server.stop());
    h.session().handleTypedLine(".warn Bob spam");
    h.output();
    auto start = std::chrono::steady_clock::now();
    h.session().moderation()->close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500))
        << "no wait for the server at the end";
    EXPECT_NE(h.output().find(" kept in " + journal + " until the database is back\n"),
              std::string::npos);
  }
  ASSERT_TRUE(server.start());
  SessionHarness h(std::nullopt, defaults::kAdminName, defaults::kAdminPassword,
                   testing::Transport::kInMemory, settings);
  ASSERT_TRUE(h.started());
  EXPECT_NE(h.output().find(" from " + journal + " to write\n"), std::string::npos);
  Database& database = h.session().database();
  auto count = [&database](const char* sql) {
    StatementResult found = database.run(sql, {});
    return !found.error && found.rowCount() == 1 ? found.values[0].integerValue : -1;
  };
  auto give = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (count("SELECT count(*) FROM gs_sanctions") < 1 &&
         std::chrono::steady_clock::now() < give) {
    h.clock().advance(500);
    h.session().poll();
    usleep(5000);
  }
  h.session().moderation()->close();
  EXPECT_EQ(count("SELECT count(*) FROM gs_sanctions WHERE kind = 'warn' AND name_key = 'bob'"), 1);
  EXPECT_EQ(count("SELECT count(*) FROM gs_audit WHERE action = 'warn'"), 1);
}

}  // namespace
}  // namespace gsadmin
