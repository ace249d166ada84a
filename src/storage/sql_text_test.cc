// Recognising a second statement without preparing anything.

#include "storage/sql_text.h"

#include <gtest/gtest.h>

#include <string>

namespace gsadmin {
namespace {

TEST(SqlTextTest, NoiseIsWhitespaceSemicolonsAndComments) {
  const struct {
    std::string text;
    bool noise;
  } cases[] = {
      {"", true},
      {" \t\r\n\f;;", true},
      {"-- a comment", true},
      {"/* open to the end", true},
      {"/* a */ -- b\n ;", true},
      {"\v", false},  // no whitespace to SQLite
      {std::string("\0", 1), false},
      {"-- a\nSELECT 1", false},
      {"/* a */x", false},
  };
  for (const auto& c : cases) EXPECT_EQ(holdsNoStatement(c.text), c.noise) << c.text;
}

TEST(SqlTextTest, FindsASecondStatementOutsideStringsNamesCommentsAndTriggers) {
  const struct {
    const char* sql;
    bool second;
  } cases[] = {
      {"SELECT 1", false},
      {"SELECT 1;", false},
      {"SELECT 1; -- done\n ; /* really */", false},
      {";; SELECT 1", false},  // empty statements before the first
      {"SELECT 1; PRAGMA query_only = ON", true},
      {"PRAGMA query_only = ON; SELECT 1", true},
      {"SELECT 'a;b', \"c;d\", [e;f], `g;h` FROM t; x", true},
      {"SELECT 'a;b', \"c;d\", [e;f], `g;h` FROM t", false},
      {"SELECT 'it''s; fine'", false},
      {"SELECT 1 /* ; */ -- ;\n", false},
      {"SELECT 'unterminated; DROP TABLE t", false},
      {"CREATE TRIGGER r AFTER INSERT ON t BEGIN DELETE FROM u; END", false},
      // A trigger's body is left to the caller, who reads what follows it.
      {"CREATE TRIGGER r AFTER INSERT ON t BEGIN DELETE FROM u; END; SELECT 1", false},
  };
  for (const auto& c : cases) EXPECT_EQ(holdsSecondStatement(c.sql), c.second) << c.sql;
}

}  // namespace
}  // namespace gsadmin
