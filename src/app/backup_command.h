#ifndef GSADMIN_APP_BACKUP_COMMAND_H_
#define GSADMIN_APP_BACKUP_COMMAND_H_

#include <cstdio>
#include <optional>
#include <string>

#include "app/options.h"

namespace gsadmin {

// The SQLite file the client of `options` would open: --db, or script.db
// beside the first --script (script.lua by default). Nothing for a
// PostgreSQL URI.
std::optional<std::string> sqliteFileOf(const Options& options);

// With --backup=FILE: copies that database to FILE online (a client may be
// using it), checks the copy and prints what it holds: one line for the
// copy, its integrity and one line a table with its rows. The exit status
// (0 sound, 1 not, 2 refused); nothing without --backup.
// --restore=FILE likewise puts FILE back, once it checked sound, refused
// while a client holds the database.
std::optional<int> runBackupCommand(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace gsadmin

#endif  // GSADMIN_APP_BACKUP_COMMAND_H_
