#ifndef GSADMIN_STORAGE_SQL_TEXT_H_
#define GSADMIN_STORAGE_SQL_TEXT_H_

#include <string_view>

namespace gsadmin {

// Reading SQL text without preparing it: preparing a statement may already
// act (a PRAGMA that sets a flag does so while it is prepared), so a text
// that would be refused must be recognised before any of it is prepared.

// True when `text` holds nothing SQLite would run: whitespace, ';' and
// comments (an unterminated "/*" comment runs to the end, as in SQLite).
bool holdsNoStatement(std::string_view text);

// True when `sql` plainly holds a second statement after its first one: a
// complete statement (sqlite3_complete) ends at a ';' outside strings,
// quoted names and comments, and more than whitespace, ';' and comments
// follows. False for one statement, for text with no complete first
// statement, and for a first statement whose body holds ';' (a trigger's);
// the text after such a statement is for the caller to check once it is
// prepared.
bool holdsSecondStatement(std::string_view sql);

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_SQL_TEXT_H_
