#ifndef GSADMIN_STORAGE_SQL_SANDBOX_H_
#define GSADMIN_STORAGE_SQL_SANDBOX_H_

#include <cstddef>

struct sqlite3;

namespace gsadmin {

// What a script's SQL may do on its connection. One function call in SQL
// is not interruptible, and some take time in the product of their
// arguments' lengths (instr, replace, LIKE, GLOB), so the lengths are
// capped: measured on a loaded two-core machine, the slowest such call at
// these caps took 0.55 s. trim with a character set is replaced by one
// whose time grows with the text alone.
struct SqlLimits {
  // Bytes of one string or blob, also of a row as stored.
  static constexpr int kValueBytes = 256 * 1024;
  // Bytes of a LIKE or GLOB pattern.
  static constexpr int kPatternBytes = 1000;
  // Bytes of the SQL text of one statement.
  static constexpr int kSqlBytes = 1024 * 1024;
  // Characters of the set trim, ltrim and rtrim take as their second
  // argument: their time grows with it times the text's length.
  static constexpr size_t kTrimCharacters = 64;
};

// Confines `connection` to its own database file: the defensive flag on
// (no writable schema, no writes to sqlite_master or shadow tables), no
// fts3_tokenizer, no loaded extensions, no ATTACH of a file (a private
// temporary database, as VACUUM attaches, stays allowed), no PRAGMA that
// moves SQLite's files elsewhere, and the limits above. Returns false when
// SQLite refused a setting; the caller then must not use the connection.
bool sandboxConnection(sqlite3* connection);

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_SQL_SANDBOX_H_
