// dbExec and dbQuery called from Lua, against a real database file in the
// harness's temporary working directory.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "script/api_test_script.h"

namespace gsadmin {
namespace {

using testing::ApiScript;
using testing::BareApiState;

TEST(ApiDbTest, TheDatabaseIsOpenFromTheStartAndOnlyItsOwnerMayReadIt) {
  // The built-in moderation opens it at start; without moderation nothing
  // touches the disk before a script's first call (see StorageTest).
  ApiScript s;
  const std::string path = s.session().database().description();
  EXPECT_TRUE(s.session().database().isOpen());
  EXPECT_EQ(s.run("show(dbExec('CREATE TABLE t (x)'))\n"), "0\n");
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(ApiDbTest, BindsEveryTypeAndReadsItBack) {
  ApiScript s;
  ASSERT_EQ(s.run("show(dbExec('CREATE TABLE v (k INTEGER PRIMARY KEY, x)'))\n"), "0\n");
  EXPECT_EQ(s.run("show(dbExec('INSERT INTO v (x) VALUES (?)', 42))\n"
                  "show(dbExec('INSERT INTO v (x) VALUES (?)', 2.5))\n"
                  "show(dbExec('INSERT INTO v (x) VALUES (?)', 'a\\0b'))\n"
                  "show(dbExec('INSERT INTO v (x) VALUES (?)', true))\n"
                  "show(dbExec('INSERT INTO v (x) VALUES (?)', false))\n"
                  "show(dbExec('INSERT INTO v (x) VALUES (?)', nil))\n"
                  "show(dbExec('INSERT INTO v (x) VALUES (?)', -2^53))\n"
                  "show(dbExec('INSERT INTO v (x) VALUES (?)', 2^70))\n"),
            "1\n1\n1\n1\n1\n1\n1\n1\n");
  // typeof shows what was stored; NUL bytes are kept; NULL reads as nil.
  EXPECT_EQ(s.run("for _, r in ipairs(dbQuery('SELECT k, typeof(x) AS t, length(CAST(x AS BLOB)) "
                  "AS n, x FROM v ORDER BY k')) do show(r.k, r.t, r.n, r.x) end\n"),
            "1,integer,2,42\n"
            "2,real,3,2.5\n"
            "3,text,3,a\n"  // print stops at the NUL; the length says 3
            "4,integer,1,1\n"
            "5,integer,1,0\n"
            "6,null,nil,nil\n"
            "7,integer,17,-9.007199254741e+15\n"
            "8,real,20,1.1805916207174e+21\n");
  EXPECT_EQ(s.run("local r = dbQuery('SELECT x FROM v WHERE k = 3')[1]\n"
                  "show(r.x == 'a\\0b', #r.x)\n"),
            "true,3\n");
  EXPECT_EQ(s.run("local r = dbQuery('SELECT x FROM v WHERE k = ?', 6)[1]\n"
                  "show(next(r))\n"),
            "nil\n");
  // Blobs come back as strings; an empty result is an empty table.
  EXPECT_EQ(s.run("local r = dbQuery(\"SELECT x'00ff' AS b\")[1]\n"
                  "show(#r.b, string.byte(r.b, 2))\n"
                  "show(#dbQuery('SELECT * FROM v WHERE k > 100'))\n"),
            "2,255\n0\n");
}

TEST(ApiDbTest, CountsChangedRows) {
  ApiScript s;
  EXPECT_EQ(s.run("dbExec('CREATE TABLE t (x)')\n"
                  "for i = 1, 5 do dbExec('INSERT INTO t VALUES (?)', i) end\n"
                  "show(dbExec('UPDATE t SET x = x + 1 WHERE x > ?', 2))\n"
                  "show(dbExec('SELECT * FROM t'))\n"
                  "show(dbExec('CREATE TABLE u (y)'))\n"
                  "show(dbExec('DELETE FROM t'))\n"),
            "3\n0\n0\n5\n");
}

TEST(ApiDbTest, RefusesOtherArgumentTypesByPosition) {
  ApiScript s;
  EXPECT_EQ(s.run("show(dbExec())\n"
                  "show(dbExec(42))\n"
                  "show(dbQuery({}))\n"
                  "show(dbExec('SELECT ?', {}))\n"
                  "show(dbQuery('SELECT ?, ?, ?', 1, 'x', print))\n"),
            "dbExec: Invalid argument #1.\n\n"
            "dbExec: Invalid argument #1.\n\n"
            "dbQuery: Invalid argument #1.\n\n"
            "dbExec: Invalid argument #2.\n\n"
            "dbQuery: Invalid argument #4.\n\n");
}

TEST(ApiDbTest, ErrorsAreOneLineAndReturnNothing) {
  ApiScript s;
  EXPECT_EQ(s.run("show(dbExec('SELEC 1'))\n"), "dbExec: near \"SELEC\": syntax error\n\n");
  EXPECT_EQ(s.run("show(dbQuery('SELECT * FROM missing'))\n"),
            "dbQuery: no such table: missing\n\n");
  // A quoted token spanning lines still makes one line, without control bytes.
  EXPECT_EQ(s.run("show(dbExec('SELECT 1 FROM \"a\\n\\27[31mb\"'))\n"),
            "dbExec: no such table: a??[31mb\n\n");
  EXPECT_EQ(s.run("show(dbExec('SELECT ?', 1, 2))\n"),
            "dbExec: 2 values given for 1 placeholders\n\n");
  EXPECT_EQ(s.run("show(dbExec('SELECT ?, ?', 1))\n"),
            "dbExec: 1 values given for 2 placeholders\n\n");
  // The script goes on after each.
  EXPECT_EQ(s.run("show(#dbQuery('SELECT 1'))\n"), "1\n");
}

TEST(ApiDbTest, RunsOnlyOneStatementPerCall) {
  ApiScript s;
  s.run("dbExec('CREATE TABLE t (x)')\n");
  EXPECT_EQ(s.run("show(dbExec('INSERT INTO t VALUES (1); DROP TABLE t'))\n"),
            "dbExec: only one statement may be run per call\n\n");
  // Nothing of it ran; a trailing semicolon or comment is fine.
  EXPECT_EQ(s.run("show(#dbQuery('SELECT * FROM t;  -- all of them\\n'))\n"), "0\n");
  EXPECT_EQ(s.run("show(dbExec(''))\nshow(#dbQuery('-- nothing'))\n"), "0\n0\n");
}

TEST(ApiDbTest, InjectionAttemptIsStoredAsAName) {
  ApiScript s;
  const std::string name = "Robert'); DROP TABLE bans;--";
  s.run("dbExec('CREATE TABLE bans (name TEXT)')\n");
  EXPECT_EQ(s.run("show(dbExec('INSERT INTO bans VALUES (?)', [[" + name +
                  "]]))\n"
                  "show(dbQuery('SELECT name FROM bans')[1].name)\n"),
            "1\n" + name + "\n");
}

TEST(ApiDbTest, TransactionsArePlainSqlAndAnOpenOneIsRolledBack) {
  ApiScript s;
  s.run(
      "dbExec('CREATE TABLE t (x)')\n"
      "dbExec('BEGIN')\n"
      "dbExec('INSERT INTO t VALUES (1)')\n"
      "dbExec('COMMIT')\n"
      "dbExec('BEGIN')\n"
      "dbExec('INSERT INTO t VALUES (2)')\n");
  s.session().rollBackDatabaseTransaction();
  EXPECT_EQ(s.harness().output(), "LUA: Open database transaction rolled back.\n");
  EXPECT_EQ(s.run("show(#dbQuery('SELECT * FROM t'))\n"), "1\n");
  // With none open, nothing is said.
  s.session().rollBackDatabaseTransaction();
  EXPECT_EQ(s.harness().output(), "");
}

TEST(ApiDbTest, WithoutASessionThereIsNoDatabase) {
  BareApiState s;
  EXPECT_EQ(s.run("show(dbExec('SELECT 1'))\n"), "dbExec: Database missing.\n\n");
  EXPECT_EQ(s.run("show(dbQuery(1))\n"), "dbQuery: Invalid argument #1.\n\n");
}

}  // namespace
}  // namespace gsadmin
