#ifndef GSADMIN_STORAGE_PG_SQL_H_
#define GSADMIN_STORAGE_PG_SQL_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace gsadmin {

// The SQL text of one call made ready for a PostgreSQL server, read
// without the server: the scripts write `?` placeholders, the server wants
// $1, $2 and so on.
struct PgStatementText {
  // The first statement with each `?` outside strings, quoted names,
  // comments and dollar-quoted bodies replaced by $1, $2... in order (and
  // each `?N` by $N, a later `?` counting on from the largest N); the ';'
  // that ends it and what follows are left out.
  std::string text;
  // The values the statement takes: the largest number given.
  size_t placeholders = 0;
  // Nothing but whitespace, ';' and comments: nothing to run.
  bool empty = true;
  // More than whitespace, ';' and comments follows the first statement (a
  // NUL byte counts as more): the call must run nothing.
  bool secondStatement = false;
};

// Reads `sql` as PostgreSQL's lexer does for strings ('...' with '' inside,
// E'...' with backslash escapes), quoted names ("..."), comments (-- to the
// end of the line, /* */ nested) and dollar quotes ($$...$$, $tag$...$tag$).
// An unterminated string, name, comment or dollar quote runs to the end.
PgStatementText translatePlaceholders(std::string_view sql);

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_PG_SQL_H_
