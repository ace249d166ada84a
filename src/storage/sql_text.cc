#include "storage/sql_text.h"

#include <sqlite3.h>

#include <string>

namespace gsadmin {
namespace {

constexpr size_t kEnd = std::string_view::npos;

// SQLite's whitespace; a vertical tab is no whitespace to its tokenizer.
bool isSqliteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// Where the comment at `at` ends (one past it), or `at` when none starts there.
size_t skipSqliteComment(std::string_view text, size_t at) {
  if (text.substr(at, 2) == "--") {
    size_t end = text.find('\n', at + 2);
    return end == kEnd ? text.size() : end + 1;
  }
  if (text.substr(at, 2) == "/*") {
    size_t end = text.find("*/", at + 2);
    return end == kEnd ? text.size() : end + 2;
  }
  return at;
}

// Where the string or quoted name at `at` ends (one past its closing quote),
// or `at` when none starts there. A doubled quote inside reads as the end
// of one quoted piece and the start of the next, which is the same.
size_t skipQuoted(std::string_view text, size_t at) {
  char open = text[at];
  char close = open == '[' ? ']' : open;
  if (open != '\'' && open != '"' && open != '`' && open != '[') return at;
  size_t end = text.find(close, at + 1);
  return end == kEnd ? text.size() : end + 1;
}

// Skips whitespace, ';' and comments from `at`; where the next token starts.
size_t skipNoise(std::string_view text, size_t at) {
  while (at < text.size()) {
    if (isSqliteSpace(text[at]) || text[at] == ';') {
      ++at;
      continue;
    }
    size_t next = skipSqliteComment(text, at);
    if (next == at) break;
    at = next;
  }
  return at;
}

}  // namespace

bool holdsNoStatement(std::string_view text) {
  return skipNoise(text, 0) == text.size();
}

bool holdsSecondStatement(std::string_view sql) {
  size_t at = skipNoise(sql, 0);
  while (at < sql.size() && sql[at] != ';') {
    size_t next = skipSqliteComment(sql, at);
    if (next == at) next = skipQuoted(sql, at);
    at = next == at ? at + 1 : next;
  }
  if (at >= sql.size() || holdsNoStatement(sql.substr(at))) return false;
  // A ';' inside a trigger's body ends no statement; SQLite's own
  // recogniser knows those. It reads up to a NUL, as prepare does.
  std::string firstStatement(sql.substr(0, at + 1));
  return sqlite3_complete(firstStatement.c_str()) != 0;
}

}  // namespace gsadmin
