// A session as one client of a fleet on a real PostgreSQL server: its
// heartbeat and players are written, none while the server is away; the
// acts another server's panel asks of it are carried out through the
// command table as that account, refused, or expired when late.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

#include "moderation/moderation.h"
#include "support/postgres_server.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::PostgresServer;
using testing::SessionHarness;
using testing::SuiteServer;

class FleetSessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { postgres_.start(); }
  static void TearDownTestSuite() { postgres_.end(); }

  void SetUp() override {
    if (!postgres_.available()) GTEST_SKIP() << PostgresServer::kMissing;
    std::string uri = postgres_.newDatabase("fleet");
    ASSERT_FALSE(uri.empty()) << postgres_.failure();
    harness_ = std::make_unique<SessionHarness>(
        "function begin() dbExec('BEGIN') end\n", defaults::kAdminName, defaults::kAdminPassword,
        testing::Transport::kInMemory, [uri](SessionSettings& settings) {
          settings.databasePath = uri;
          settings.moderation.serverName = "beta";
        });
    ASSERT_TRUE(harness_->started());
    harness_->connect();
    harness_->addPlayer(4, "Bob");
    harness_->addPlayer(5, "Carl");
  }

  Database& database() { return harness_->session().database(); }

  // The first row's first column of `sql`, or "" when none.
  std::string first(const std::string& sql, const std::vector<DbValue>& bindings = {}) {
    StatementResult result = database().run(sql, bindings);
    if (result.error || result.rowCount() == 0) return "";
    const DbValue& value = result.values[0];
    return value.type == DbValue::Type::kText ? value.bytes : std::to_string(value.integerValue);
  }

  // Polls, the clock moving 500 ms a time, until `done` or a few seconds of
  // real time pass.
  bool pollUntil(const std::function<bool()>& done) {
    auto give = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < give) {
      harness_->clock().advance(500);
      harness_->session().poll();
      usleep(5000);
    }
    return done();
  }

  // Asks this client, as alpha's panel would, for `act` as `actor`, made
  // `age` seconds ago; the request's number.
  std::string ask(const std::string& actor, const std::string& act, int64_t age = 0) {
    std::string id = first(
        "INSERT INTO gs_requests (time, target, origin, actor, act) VALUES (?, 'beta', 'alpha', "
        "?, ?) RETURNING id",
        {DbValue::integer(harness_->clock().wallSeconds() - age), DbValue::text(actor),
         DbValue::text(act)});
    database().run("SELECT pg_notify('gs_changes', 'request beta')", {});
    return id;
  }

  // The request's state and answer once it is no longer waiting or running.
  std::string outcome(const std::string& id) {
    std::string sql = "SELECT state || ': ' || answer FROM gs_requests WHERE id = " + id +
                      " AND state NOT IN ('waiting', 'running')";
    pollUntil([&]() { return !first(sql).empty(); });
    return first(sql);
  }

  static SuiteServer postgres_;
  std::unique_ptr<SessionHarness> harness_;
};

SuiteServer FleetSessionTest::postgres_;

TEST_F(FleetSessionTest, TheHeartbeatAndThePlayersAreWrittenAndNothingWhileTheServerIsAway) {
  ASSERT_TRUE(pollUntil([&]() { return first("SELECT count(*) FROM gs_online") == "2"; }));
  EXPECT_EQ(first("SELECT name FROM gs_online WHERE player = 5 AND server = 'beta'"), "Carl");
  std::string beat = first("SELECT heartbeat FROM gs_servers WHERE name = 'beta'");
  EXPECT_EQ(beat, std::to_string(harness_->clock().wallSeconds()));

  ASSERT_TRUE(postgres_.server().stop());
  for (int i = 0; i < 120; ++i) {
    harness_->clock().advance(500);
    harness_->session().poll();
  }
  EXPECT_EQ(harness_->session().moderation()->store().queued(), 0u)
      << "a minute away queued heartbeats";
  ASSERT_TRUE(postgres_.server().start());
  EXPECT_TRUE(pollUntil(
      [&]() { return first("SELECT heartbeat FROM gs_servers WHERE name = 'beta'") > beat; }));
}

TEST_F(FleetSessionTest, ARequestIsCarriedOutAsTheAccountFromTheOtherServer) {
  std::string id =
      ask(R"({"name":"alice","level":4})", R"({"action":"kick","name":"Bob","reason":"flooding"})");
  EXPECT_EQ(outcome(id), "done: kick done on beta");
  EXPECT_NE(harness_->output().find("* panel:alice from alpha kicked Bob: flooding\n"),
            std::string::npos);
  harness_->session().moderation()->writeRecords();
  EXPECT_EQ(first("SELECT actor || ' ' || action || ' ' || target || ' on ' || server FROM "
                  "gs_audit WHERE action = 'kick'"),
            "panel:alice from alpha kick Bob on beta");
}

TEST_F(FleetSessionTest, ARequestBeyondTheAccountOrMalformedOrLateIsNotCarriedOut) {
  struct Case {
    const char* actor;
    const char* act;
    int64_t age;
    const char* outcome;
  };
  const Case cases[] = {
      {R"({"name":"mia","level":1})", R"({"action":"ban","name":"Carl","reason":"x"})", 0,
       "refused: your level may not ban"},
      {R"({"name":"mia","level":1,"role":{"name":"mods","acts":["warn"],"servers":["gamma"]}})",
       R"({"action":"warn","name":"Carl","reason":"x"})", 0, "refused: the role mods may not warn"},
      {R"({"name":"mia"})", R"({"action":"kick","name":"Carl"})", 0,
       "refused: the request names no account"},
      {R"({"name":"alice","level":4})", R"({"action":"explode","name":"Carl"})", 0,
       "refused: no action is named 'explode'"},
      {R"({"name":"alice","level":4})", R"({"action":"kick","name":"Carl"})",
       kRequestLifeSeconds + 5, "expired: too late: the panel stopped waiting"},
      // Anyone who may write the shared database could write this one.
      {R"({"name":"alice","level":4})", R"({"action":"command","line":".kick Carl"})", 0,
       "refused: console lines and server commands are typed on that server's own panel"},
  };
  harness_->output();  // the joins
  for (const Case& c : cases) EXPECT_EQ(outcome(ask(c.actor, c.act, c.age)), c.outcome) << c.act;
  EXPECT_EQ(harness_->output().find("Carl"), std::string::npos) << "nothing done to Carl";
}

// While a script's transaction is open (begun at this client's own
// console), a request is neither taken nor answered: its answer would be
// held in that transaction. Once the transaction ends, it is.
TEST_F(FleetSessionTest, NoRequestIsTakenWhileAScriptsTransactionIsOpen) {
  std::string held = ask(R"({"name":"alice","level":4})",
                         R"({"action":"kick","name":"Carl","reason":"afterwards"})");
  harness_->session().handleTypedLine(".lua begin()");
  ASSERT_TRUE(harness_->session().database().inTransaction());
  for (int i = 0; i < 20; ++i) {
    harness_->clock().advance(500);
    harness_->session().poll();
  }
  EXPECT_EQ(first("SELECT state FROM gs_requests WHERE id = " + held), "waiting");
  harness_->session().handleTypedLine(".lua dbExec('ROLLBACK')");
  EXPECT_EQ(outcome(held), "done: kick done on beta");
}

}  // namespace
}  // namespace gsadmin
