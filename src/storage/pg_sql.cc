#include "storage/pg_sql.h"

#include <algorithm>

#include "storage/sql_text.h"

namespace gsadmin {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == '\v';
}

// A character that may continue a name; bytes of a multi-byte character
// count, as in the server's lexer.
bool isNameChar(char c) {
  auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
         u == '$' || u >= 0x80;
}

bool startsName(char c) {
  return isNameChar(c) && c != '$' && !(c >= '0' && c <= '9');
}

// One past the comment at `at`, or `at` when none starts there. Block
// comments nest.
size_t skipComment(std::string_view sql, size_t at) {
  if (sql.substr(at, 2) == "--") {
    size_t end = sql.find('\n', at + 2);
    return end == std::string_view::npos ? sql.size() : end + 1;
  }
  if (sql.substr(at, 2) != "/*") return at;
  int depth = 0;
  size_t i = at;
  while (i < sql.size()) {
    if (sql.substr(i, 2) == "/*") {
      ++depth;
      i += 2;
    } else if (sql.substr(i, 2) == "*/") {
      i += 2;
      if (--depth == 0) return i;
    } else {
      ++i;
    }
  }
  return sql.size();
}

// One past the quoted piece opened by the quote at `at`; a doubled quote
// stays inside, and with `backslashes` (an E'' string) a backslash escapes
// the next character.
size_t skipQuoted(std::string_view sql, size_t at, bool backslashes) {
  char quote = sql[at];
  size_t i = at + 1;
  while (i < sql.size()) {
    if (backslashes && sql[i] == '\\') {
      i += 2;
    } else if (sql[i] == quote) {
      if (i + 1 < sql.size() && sql[i + 1] == quote) {
        i += 2;
      } else {
        return i + 1;
      }
    } else {
      ++i;
    }
  }
  return sql.size();
}

// One past the dollar-quoted body whose opening tag starts at `at`, or `at`
// when no tag starts there ($1 is a parameter, not a tag).
size_t skipDollarQuoted(std::string_view sql, size_t at) {
  size_t i = at + 1;
  if (i < sql.size() && startsName(sql[i])) {
    while (i < sql.size() && isNameChar(sql[i]) && sql[i] != '$') ++i;
  }
  if (i >= sql.size() || sql[i] != '$') return at;
  std::string_view tag = sql.substr(at, i + 1 - at);
  size_t end = sql.find(tag, i + 1);
  return end == std::string_view::npos ? sql.size() : end + tag.size();
}

// One past the string, quoted name, comment or dollar quote at `at`, or
// `at` when none starts there.
size_t skipOpaque(std::string_view sql, size_t at) {
  char c = sql[at];
  bool afterName = at > 0 && isNameChar(sql[at - 1]);
  if (c == '-' || c == '/') return skipComment(sql, at);
  if (c == '"') return skipQuoted(sql, at, false);
  if (c == '\'') {
    bool escapes = at > 0 && (sql[at - 1] == 'E' || sql[at - 1] == 'e') &&
                   !(at > 1 && isNameChar(sql[at - 2]));
    return skipQuoted(sql, at, escapes);
  }
  if (c == '$' && !afterName) return skipDollarQuoted(sql, at);
  return at;
}

}  // namespace

PgStatementText translatePlaceholders(std::string_view sql) {
  PgStatementText result;
  size_t at = 0;
  while (at < sql.size()) {
    char c = sql[at];
    // A NUL byte ends what the server would read: never noise.
    if (c == '\0') {
      result.secondStatement = true;
      return result;
    }
    if (c == ';') {
      ++at;
      // Empty statements before the first are skipped.
      if (result.empty) continue;
      result.secondStatement = !holdsNoStatement(sql.substr(at));
      return result;
    }
    size_t next = skipOpaque(sql, at);
    if (next != at) {
      if (c != '-' && c != '/') result.empty = false;
      result.text.append(sql.substr(at, next - at));
      at = next;
      continue;
    }
    if (c == '?') {
      // "?N" is the N-th value; a bare '?' the one after the largest so far.
      size_t digits = at + 1;
      size_t number = 0;
      while (digits < sql.size() && digits - at <= 9 && sql[digits] >= '0' && sql[digits] <= '9') {
        number = number * 10 + static_cast<size_t>(sql[digits++] - '0');
      }
      if (digits == at + 1) number = result.placeholders + 1;
      result.placeholders = std::max(result.placeholders, number);
      result.text += "$" + std::to_string(number);
      at = digits;
      result.empty = false;
      continue;
    } else {
      result.text += c;
    }
    if (!isSpace(c)) result.empty = false;
    ++at;
  }
  return result;
}

}  // namespace gsadmin
