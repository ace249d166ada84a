// The PostgreSQL backend against a real server the suite starts itself:
// statements and their limits, a stop while a statement runs, and a server
// that goes away and comes back.

#include "storage/postgres_database.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "support/postgres_server.h"

namespace gsadmin {
namespace {

using testing::PostgresServer;
using testing::SuiteServer;

std::string errorOf(const StatementResult& result) {
  return result.error.value_or("(no error)");
}

class PostgresDatabaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { postgres_.start(); }
  static void TearDownTestSuite() { postgres_.end(); }

  void SetUp() override {
    if (!postgres_.available()) GTEST_SKIP() << PostgresServer::kMissing;
    uri_ = postgres_.newDatabase("unit");
    ASSERT_FALSE(uri_.empty()) << postgres_.failure();
  }

  // Calls service() until `done` or a few seconds pass, the session clock
  // standing at `nowMs`; the events of every call, merged.
  DatabaseEvents serviceUntil(PostgresDatabase& db, uint64_t nowMs,
                              const std::function<bool(const DatabaseEvents&)>& done) {
    DatabaseEvents all;
    auto give = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < give) {
      DatabaseEvents events = db.service(nowMs);
      for (auto& notice : events.notices) all.notices.push_back(notice);
      if (events.lost) all.lost = events.lost;
      all.connected = all.connected || events.connected;
      if (done(all)) break;
      usleep(10000);
    }
    return all;
  }

  // One server for the suite: starting one takes seconds.
  static SuiteServer postgres_;
  std::string uri_;
};

SuiteServer PostgresDatabaseTest::postgres_;

TEST_F(PostgresDatabaseTest, NotConnectedFailsAtOnceAndConnectingWaitsNoLonger) {
  PostgresDatabase db(uri_, std::nullopt);
  StatementResult early = db.run("SELECT 1", {});
  EXPECT_EQ(errorOf(early), "not connected to the database");
  EXPECT_TRUE(early.unavailable);
  EXPECT_FALSE(db.isOpen());
  ASSERT_TRUE(db.awaitConnection(5000));
  EXPECT_EQ(db.dialect(), SqlDialect::kPostgres);
  StatementResult one = db.run("SELECT 1 AS one", {});
  ASSERT_FALSE(one.error) << *one.error;
  ASSERT_EQ(one.values.size(), 1u);
  EXPECT_EQ(one.values[0].integerValue, 1);
  // The first connection is no news.
  DatabaseEvents events = db.service(0);
  EXPECT_FALSE(events.lost);
  EXPECT_FALSE(events.connected);

  PostgresDatabase nowhere(postgres_.server().uri("missing_database"), std::nullopt);
  EXPECT_FALSE(nowhere.awaitConnection(5000));
  events = nowhere.service(100);
  ASSERT_TRUE(events.lost);
  EXPECT_NE(events.lost->find("missing_database"), std::string::npos) << *events.lost;
  EXPECT_EQ(nowhere.nextWorkMs(), 100 + PostgresDatabase::kFirstRetryMs);
}

TEST_F(PostgresDatabaseTest, RefusesWhatItCannotRunAsTheFileDatabaseDoes) {
  PostgresDatabase db(uri_, std::nullopt, 64 * 1024);
  ASSERT_TRUE(db.awaitConnection(5000));
  ASSERT_FALSE(db.run("CREATE TABLE t (x BIGINT)", {}).error);
  const struct {
    std::string sql;
    std::vector<DbValue> bindings;
    std::string error;
  } cases[] = {
      {"INSERT INTO t VALUES (1); DROP TABLE t", {}, "only one statement may be run per call"},
      {"SELECT ?", {}, "0 values given for 1 placeholders"},
      {"SELECT ?::bigint",
       {DbValue::integer(1), DbValue::integer(2)},
       "2 values given for 1 placeholders"},
      {"SELEC 1", {}, "syntax error at or near \"SELEC\""},
      {"SELECT * FROM \"a\nb\"", {}, "relation \"a?b\" does not exist"},
      {"SELECT repeat('x', 100000)", {}, "result too large"},
      {"SELECT ?::text", {DbValue::text(std::string(300 * 1024, 'x'))}, "string or blob too big"},
      {std::string(1024 * 1024 + 1, ' '), {}, "statement too long"},
      {"COPY t TO STDOUT", {}, "COPY TO STDOUT is not supported"},
      {"COPY t FROM STDIN", {}, "COPY from stdin failed: COPY FROM STDIN is not supported"},
  };
  for (const auto& c : cases) {
    StatementResult result = db.run(c.sql, c.bindings);
    EXPECT_EQ(errorOf(result), c.error) << c.sql.substr(0, 60);
    EXPECT_FALSE(result.unavailable);
  }
  // Nothing of the refused statements ran, and the connection goes on.
  StatementResult rows = db.run("SELECT count(*) FROM t", {});
  ASSERT_FALSE(rows.error) << *rows.error;
  EXPECT_EQ(rows.values[0].integerValue, 0);
  EXPECT_TRUE(db.connected());
}

TEST_F(PostgresDatabaseTest, TheInterruptCheckStopsALongStatementPromptly) {
  PostgresDatabase db(uri_, std::nullopt);
  ASSERT_TRUE(db.awaitConnection(5000));
  auto began = std::chrono::steady_clock::now();
  db.setInterruptCheck([&]() -> const char* {
    return std::chrono::steady_clock::now() - began > std::chrono::milliseconds(200)
               ? "the call's time is up"
               : nullptr;
  });
  StatementResult slept = db.run("SELECT pg_sleep(30)", {});
  EXPECT_EQ(errorOf(slept), "the call's time is up");
  EXPECT_FALSE(slept.unavailable);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10));
  // The same connection runs the next statement, once the check allows it.
  db.setInterruptCheck(nullptr);
  EXPECT_FALSE(db.run("SELECT 1", {}).error);
  // A stop inside a transaction leaves it open, to be rolled back.
  ASSERT_FALSE(db.run("BEGIN", {}).error);
  began = std::chrono::steady_clock::now();
  db.setInterruptCheck([&]() -> const char* {
    return std::chrono::steady_clock::now() - began > std::chrono::milliseconds(100) ? "stopped"
                                                                                     : nullptr;
  });
  EXPECT_EQ(errorOf(db.run("SELECT pg_sleep(30)", {})), "stopped");
  EXPECT_TRUE(db.inTransaction());
  EXPECT_TRUE(db.rollBackOpenTransaction());
  EXPECT_FALSE(db.inTransaction());
  EXPECT_FALSE(db.rollBackOpenTransaction());
}

// How many statements of another connection run `pg_sleep` on the server,
// within a second: a cancelled or abandoned one must not go on.
int sleepersAfterASecond(const std::string& uri) {
  PGconn* other = PQconnectdb(uri.c_str());
  int sleepers = -1;
  for (int attempt = 0; attempt < 20 && sleepers != 0; ++attempt) {
    PGresult* rows = PQexec(other,
                            "SELECT count(*) FROM pg_stat_activity WHERE state = 'active' "
                            "AND query LIKE 'SELECT pg_sleep%' AND pid <> pg_backend_pid()");
    sleepers = PQresultStatus(rows) == PGRES_TUPLES_OK ? std::atoi(PQgetvalue(rows, 0, 0)) : -1;
    PQclear(rows);
    if (sleepers != 0) usleep(50000);
  }
  PQfinish(other);
  return sleepers;
}

TEST_F(PostgresDatabaseTest, ABudgetLongerThanTheSilenceLimitCancelsAndTheConnectionStays) {
  PostgresDatabase db(uri_, std::nullopt, Database::kMaxResultBytes, 300);
  db.setStatementBudgetMs(400);
  ASSERT_TRUE(db.awaitConnection(5000));
  auto began = std::chrono::steady_clock::now();
  db.setInterruptCheck([&]() -> const char* {
    return std::chrono::steady_clock::now() - began > std::chrono::milliseconds(400)
               ? "ran longer than its budget"
               : nullptr;
  });
  StatementResult slept = db.run("SELECT pg_sleep(30)", {});
  EXPECT_EQ(errorOf(slept), "ran longer than its budget");
  EXPECT_FALSE(slept.unavailable);
  EXPECT_TRUE(db.connected());
  EXPECT_FALSE(db.service(0).lost);
  EXPECT_EQ(sleepersAfterASecond(uri_), 0);
  db.setInterruptCheck(nullptr);
  StatementResult next = db.run("SELECT 2 AS two", {});
  ASSERT_FALSE(next.error) << *next.error;
  EXPECT_EQ(next.values[0].integerValue, 2);
}

TEST_F(PostgresDatabaseTest, AStatementThatHearsNothingForTooLongDropsTheConnection) {
  // Without a budget after the silence limit, and with one after both.
  const struct {
    uint64_t budgetMs;
    std::string error;
  } cases[] = {{0, "the database did not answer for 300 ms"},
               {200, "the database did not answer for 500 ms"}};
  for (const auto& c : cases) {
    PostgresDatabase db(uri_, std::nullopt, Database::kMaxResultBytes, 300);
    db.setStatementBudgetMs(c.budgetMs);
    ASSERT_TRUE(db.awaitConnection(5000));
    StatementResult silent = db.run("SELECT pg_sleep(30)", {});
    EXPECT_EQ(errorOf(silent), c.error);
    EXPECT_TRUE(silent.unavailable);
    EXPECT_FALSE(db.connected());
    DatabaseEvents events = db.service(0);
    ASSERT_TRUE(events.lost);
    EXPECT_EQ(*events.lost, c.error);
    // The server was asked to stop it too.
    EXPECT_EQ(sleepersAfterASecond(uri_), 0);
    events = serviceUntil(db, PostgresDatabase::kFirstRetryMs,
                          [&](const DatabaseEvents&) { return db.connected(); });
    EXPECT_TRUE(events.connected);
    EXPECT_FALSE(db.run("SELECT 1", {}).error);
  }
}

// Past its patience a statement fails at once as unavailable and its
// answer is read by service() meanwhile: a transaction it was part of is
// rolled back, and the connection is then ready again, still listening.
TEST_F(PostgresDatabaseTest, PastItsPatienceAStatementFailsAndItsAnswerIsReadMeanwhile) {
  PostgresDatabase db(uri_, std::nullopt);
  ASSERT_TRUE(db.awaitConnection(5000));
  ASSERT_FALSE(db.run("CREATE TABLE t (n integer)", {}).error);
  db.setPatienceMs(100);
  for (bool inTransaction : {false, true}) {
    SCOPED_TRACE(inTransaction ? "in a transaction" : "alone");
    if (inTransaction) {
      ASSERT_FALSE(db.run("BEGIN", {}).error);
      ASSERT_FALSE(db.run("INSERT INTO t VALUES (1)", {}).error);
    }
    StatementResult slow = db.run("SELECT pg_sleep(0.5)", {});
    EXPECT_EQ(errorOf(slow), "the database did not answer within 100 ms");
    EXPECT_TRUE(slow.unavailable);
    EXPECT_FALSE(db.connected());
    EXPECT_FALSE(db.inTransaction());
    EXPECT_EQ(errorOf(db.run("SELECT 1", {})), "not connected to the database");
    db.listen("gs_changes");  // heard once the answer is read
    DatabaseEvents events =
        serviceUntil(db, 0, [&](const DatabaseEvents&) { return db.connected(); });
    EXPECT_TRUE(db.connected());
    EXPECT_FALSE(events.lost);
    EXPECT_FALSE(events.connected) << "nothing was missed";
  }
  db.setPatienceMs(0);
  StatementResult rows = db.run("SELECT count(*) FROM t", {});
  ASSERT_FALSE(rows.error) << *rows.error;
  EXPECT_EQ(rows.values[0].integerValue, 0) << "the transaction given up on was rolled back";
  PGconn* other = PQconnectdb(uri_.c_str());
  PQclear(PQexec(other, "SELECT pg_notify('gs_changes', 'admins')"));
  PQfinish(other);
  DatabaseEvents heard =
      serviceUntil(db, 0, [](const DatabaseEvents& e) { return !e.notices.empty(); });
  ASSERT_EQ(heard.notices.size(), 1u);
  EXPECT_EQ(heard.notices[0].payload, "admins");
}

// An answer still awaited after the silence limit (on the session clock)
// drops the connection, and the server is asked to stop the statement.
TEST_F(PostgresDatabaseTest, AnAnswerAwaitedPastTheSilenceLimitDropsTheConnection) {
  PostgresDatabase db(uri_, std::nullopt, Database::kMaxResultBytes, 300);
  ASSERT_TRUE(db.awaitConnection(5000));
  db.setPatienceMs(100);
  EXPECT_TRUE(db.run("SELECT pg_sleep(30)", {}).unavailable);
  EXPECT_FALSE(db.service(1000).lost);
  EXPECT_EQ(db.nextWorkMs(), 1300u);
  EXPECT_FALSE(db.service(1299).lost);
  DatabaseEvents events = db.service(1300);
  ASSERT_TRUE(events.lost);
  EXPECT_EQ(*events.lost, "the database did not answer for 300 ms");
  EXPECT_FALSE(db.connected());
  EXPECT_EQ(sleepersAfterASecond(uri_), 0);
}

TEST_F(PostgresDatabaseTest, AServerThatGoesAwayIsReportedOnceAndFoundAgain) {
  PostgresDatabase db(uri_, std::nullopt);
  ASSERT_TRUE(db.awaitConnection(5000));
  db.listen("gs_changes");
  db.listen("gs_changes");  // once is enough

  ASSERT_TRUE(postgres_.server().stop());
  StatementResult failed = db.run("SELECT 1", {});
  EXPECT_TRUE(failed.unavailable) << errorOf(failed);
  DatabaseEvents events = db.service(1000);
  ASSERT_TRUE(events.lost);
  EXPECT_FALSE(db.connected());
  EXPECT_EQ(errorOf(db.run("SELECT 1", {})), "not connected to the database");
  // Retries fail quietly, each after a longer wait.
  EXPECT_EQ(db.nextWorkMs(), 1000 + PostgresDatabase::kFirstRetryMs);
  EXPECT_FALSE(db.service(1999).lost);
  EXPECT_FALSE(db.service(2000).lost);  // the attempt fails at once: no socket
  EXPECT_FALSE(db.service(2000).lost);
  EXPECT_EQ(db.nextWorkMs(), 2000 + 2 * PostgresDatabase::kFirstRetryMs);

  ASSERT_TRUE(postgres_.server().start());
  EXPECT_FALSE(db.service(3999).connected);
  EXPECT_FALSE(db.connected()) << "not before the back-off";
  events = serviceUntil(db, 4000, [&](const DatabaseEvents&) { return db.connected(); });
  EXPECT_TRUE(db.connected());
  EXPECT_TRUE(events.connected);
  EXPECT_FALSE(events.lost);

  // Listening again: another client's notice arrives.
  PGconn* other = PQconnectdb(uri_.c_str());
  PQclear(PQexec(other, "SELECT pg_notify('gs_changes', 'ban 42')"));
  PQclear(PQexec(other, "SELECT pg_notify('elsewhere', 'not for us')"));
  PQfinish(other);
  events = serviceUntil(db, 4001, [](const DatabaseEvents& e) { return !e.notices.empty(); });
  ASSERT_EQ(events.notices.size(), 1u);
  EXPECT_EQ(events.notices[0].channel, "gs_changes");
  EXPECT_EQ(events.notices[0].payload, "ban 42");
}

}  // namespace
}  // namespace gsadmin
