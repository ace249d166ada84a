// The moderation of a session whose PostgreSQL server is away at the start:
// it stays on, keeps what is done meanwhile, and opens (making the tables)
// when the server comes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "moderation/moderation.h"
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

TEST(ModerationDatabaseTest, WhatTheServerAwayAtTheEndCannotTakeIsSaid) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("ends");
  ASSERT_FALSE(uri.empty()) << server.failure();
  SessionHarness h(std::nullopt, defaults::kAdminName, defaults::kAdminPassword,
                   testing::Transport::kInMemory,
                   [uri](SessionSettings& settings) { settings.databasePath = uri; });
  ASSERT_TRUE(h.started());
  h.connect();
  h.addPlayer(4, "Bob");
  ASSERT_TRUE(server.stop());
  h.session().handleTypedLine(".warn Bob spam");
  h.output();
  h.session().moderation()->close();
  EXPECT_NE(h.output().find("records not written: the database is away\n"), std::string::npos);
}

}  // namespace
}  // namespace gsadmin
