#ifndef GSADMIN_STORAGE_SQLITE_BACKUP_H_
#define GSADMIN_STORAGE_SQLITE_BACKUP_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gsadmin {

// What a check of a SQLite file found: PRAGMA integrity_check's first line
// ("ok" when sound) and the rows of each table, in name order.
struct SqliteCheck {
  std::string error;  // empty unless the file could not be read at all
  std::string integrity;
  std::vector<std::pair<std::string, int64_t>> tableRows;
};

// Copies the SQLite database at `source` to the new file `target` with the
// online backup API, kBackupStepPages pages a step, so a client writing to
// it meanwhile waits at most one step; a step that finds the file busy is
// tried again shortly. The copy is what the database held when the last
// step ended. Empty on success, else why not (`target` then removed). A
// `target` that exists is refused.
std::string backupSqlite(const std::string& source, const std::string& target);
inline constexpr int kBackupStepPages = 256;

// Puts the SQLite database at `source` (a backup) in place of `target`'s
// contents. Refused while a client has `target` open: the client's
// connection (in WAL mode) holds a shared lock on the file as long as it is
// open, so an exclusive lock taken here without waiting fails. Empty on
// success, else why not.
std::string restoreSqlite(const std::string& source, const std::string& target);

// Opens `path` read-only and checks it.
SqliteCheck checkSqlite(const std::string& path);

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_SQLITE_BACKUP_H_
