// The scripts' dbExec and dbQuery, the same calls on both backends: a SQLite
// file in the harness's directory and a PostgreSQL server the suite starts.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "script/api_test_script.h"
#include "support/postgres_server.h"

namespace gsadmin {
namespace {

using testing::ApiScript;
using testing::PostgresServer;
using testing::SuiteServer;

enum class Backend { kSqlite, kPostgres };

class ScriptDatabaseTest : public ::testing::TestWithParam<Backend> {
 protected:
  static void SetUpTestSuite() { postgres_.start(); }
  static void TearDownTestSuite() { postgres_.end(); }

  void SetUp() override {
    if (GetParam() == Backend::kSqlite) return;
    if (!postgres_.available()) GTEST_SKIP() << PostgresServer::kMissing;
    uri_ = postgres_.newDatabase("script");
    ASSERT_FALSE(uri_.empty()) << postgres_.failure();
  }

  // A started session on this backend, without the moderation, whose
  // script defines show().
  std::unique_ptr<ApiScript> script() {
    std::string uri = uri_;
    return std::make_unique<ApiScript>([uri](SessionSettings& settings) {
      settings.moderation.enabled = false;
      if (!uri.empty()) settings.databasePath = uri;
    });
  }

  bool onPostgres() const { return GetParam() == Backend::kPostgres; }

  static SuiteServer postgres_;
  std::string uri_;
};

SuiteServer ScriptDatabaseTest::postgres_;

TEST_P(ScriptDatabaseTest, TheSameCallsGiveTheSameResults) {
  std::unique_ptr<ApiScript> s = script();
  const struct {
    std::string chunk;
    std::string output;
    std::string onPostgres = "";  // when the server words it otherwise
  } cases[] = {
      // Type names both read the same way.
      {"show(dbExec('CREATE TABLE v (k BIGINT PRIMARY KEY, i BIGINT, r DOUBLE PRECISION, "
       "s TEXT, b BYTEA)'))",
       "0\n"},
      {"show(dbExec('INSERT INTO v VALUES (?, ?, ?, ?, ?)', 1, 42, 2.5, 'text', 'a\\0b'))", "1\n"},
      {"show(dbExec('INSERT INTO v VALUES (?, ?, ?, ?, ?)', 2, nil, nil, nil, nil))", "1\n"},
      {"show(dbExec('INSERT INTO v (k, i, r) VALUES (?, ?, ?)', 3, true, -2^53))", "1\n"},
      {"show(dbExec('INSERT INTO v (k, s) VALUES (?, ?)', 4, [[Robert'); DROP TABLE v;--]]))",
       "1\n"},
      // NULL reads as no field; a NUL byte is kept.
      {"for _, r in ipairs(dbQuery('SELECT k, i, r, s, b FROM v ORDER BY k')) do\n"
       "  show(r.k, r.i, r.r, r.s, r.b and #r.b, r.b == 'a\\0b')\n"
       "end",
       "1,42,2.5,text,3,true\n2,nil,nil,nil,nil,false\n3,1,-9.007199254741e+15,nil,nil,false\n"
       "4,nil,nil,Robert'); DROP TABLE v;--,nil,false\n"},
      {"local r = dbQuery('SELECT count(*) AS n, sum(r) AS total FROM v WHERE k < ?', 3)[1]\n"
       "show(r.n, r.total, type(r.n))",
       "2,2.5,number\n"},
      {"show(dbExec('UPDATE v SET s = ? WHERE k > ?', 'later', 2))", "2\n"},
      {"show(dbExec('SELECT * FROM v'))", "0\n"},
      {"show(dbExec('DELETE FROM v WHERE k = ?', 4))", "1\n"},
      {"show(#dbQuery('SELECT * FROM v WHERE k > 100'))", "0\n"},
      // Refusals and errors: one line, nothing returned, the script goes on.
      {"show(dbExec('DELETE FROM v; DROP TABLE v'))",
       "dbExec: only one statement may be run per call\n\n"},
      {"show(dbExec('SELECT ?', 1, 2))", "dbExec: 2 values given for 1 placeholders\n\n"},
      {"show(dbQuery('SELECT * FROM missing'))", "dbQuery: no such table: missing\n\n",
       "dbQuery: relation \"missing\" does not exist\n\n"},
      {"show(dbExec('SELECT 1 FROM \"a\\nb\"'))", "dbExec: no such table: a?b\n\n",
       "dbExec: relation \"a?b\" does not exist\n\n"},
      {"show(dbExec('INSERT INTO v (k) VALUES (?)', 1))",
       "dbExec: UNIQUE constraint failed: v.k\n\n",
       "dbExec: duplicate key value violates unique constraint \"v_pkey\"\n\n"},
      {"show(#dbQuery('SELECT * FROM v;  -- all of them\\n'))", "3\n"},
      // A text bound where nothing says its type reads back as text.
      {"local r = dbQuery('SELECT ? AS v', 'x')\nshow(r and r[1].v)", "x\n"},
      {"show(dbExec(''))\nshow(#dbQuery('-- nothing'))", "0\n0\n"},
  };
  for (const auto& c : cases) {
    const std::string& expected = onPostgres() && !c.onPostgres.empty() ? c.onPostgres : c.output;
    EXPECT_EQ(s->run(c.chunk + "\n"), expected) << c.chunk;
  }
}

TEST_P(ScriptDatabaseTest, AnOpenTransactionIsRolledBackAtReload) {
  std::unique_ptr<ApiScript> s = script();
  s->run(
      "dbExec('CREATE TABLE t (x BIGINT)')\n"
      "dbExec('BEGIN')\n"
      "dbExec('INSERT INTO t VALUES (1)')\n"
      "dbExec('COMMIT')\n"
      "dbExec('BEGIN')\n"
      "dbExec('INSERT INTO t VALUES (2)')\n");
  EXPECT_TRUE(s->session().database().inTransaction());
  s->session().reloadScript();
  EXPECT_NE(s->harness().output().find("LUA: Open database transaction rolled back.\n"),
            std::string::npos);
  EXPECT_EQ(s->run("show(#dbQuery('SELECT * FROM t'))\n"), "1\n");
  // A failed statement inside a transaction leaves it open until it ends.
  s->run(
      "dbExec('BEGIN')\n"
      "dbExec('INSERT INTO t VALUES (3)')\n"
      "dbExec('INSERT INTO missing VALUES (4)')\n");
  s->session().rollBackDatabaseTransaction();
  EXPECT_EQ(s->harness().output(), "LUA: Open database transaction rolled back.\n");
  EXPECT_EQ(s->run("show(#dbQuery('SELECT * FROM t'))\n"), "1\n");
  s->session().rollBackDatabaseTransaction();
  EXPECT_EQ(s->harness().output(), "") << "none open: nothing said";
}

INSTANTIATE_TEST_SUITE_P(Backends, ScriptDatabaseTest,
                         ::testing::Values(Backend::kSqlite, Backend::kPostgres),
                         [](const ::testing::TestParamInfo<Backend>& info) {
                           return info.param == Backend::kSqlite ? "Sqlite" : "Postgres";
                         });

}  // namespace
}  // namespace gsadmin
