#include "app/backup_command.h"

#include "script/script_manager.h"
#include "storage/database.h"
#include "storage/sqlite_backup.h"

namespace gsadmin {

std::optional<std::string> sqliteFileOf(const Options& options) {
  if (options.databasePath) {
    if (isDatabaseUri(*options.databasePath)) return std::nullopt;
    return *options.databasePath;
  }
  std::string script =
      options.scriptPaths.empty() ? ScriptManager::kScriptFileName : options.scriptPaths.front();
  return databasePathForScript(script);
}

namespace {

// Prints the check of `path`; whether it is sound.
bool printCheck(const std::string& path, std::FILE* out, std::FILE* err, const char* option) {
  SqliteCheck check = checkSqlite(path);
  if (!check.error.empty()) {
    std::fprintf(err, "gsadmin: %s: %s\n", option, check.error.c_str());
    return false;
  }
  std::fprintf(out, "integrity: %s\n", check.integrity.c_str());
  for (const auto& [table, rows] : check.tableRows) {
    std::fprintf(out, "%s: %lld rows\n", table.c_str(), static_cast<long long>(rows));
  }
  return check.integrity == "ok";
}

}  // namespace

std::optional<int> runBackupCommand(const Options& options, std::FILE* out, std::FILE* err) {
  if (!options.backup && !options.restore) return std::nullopt;
  const char* option = options.backup ? "--backup" : "--restore";
  std::optional<std::string> database = sqliteFileOf(options);
  if (!database) {
    std::fprintf(err,
                 "gsadmin: %s: a PostgreSQL database is backed up and restored with "
                 "pg_dump and pg_restore (docs/fleet.md)\n",
                 option);
    return 2;
  }
  if (options.restore) {
    if (!printCheck(*options.restore, out, err, option)) {
      std::fprintf(err, "gsadmin: --restore: %s is not sound; nothing done\n",
                   options.restore->c_str());
      return 1;
    }
    std::string error = restoreSqlite(*options.restore, *database);
    if (!error.empty()) {
      std::fprintf(err, "gsadmin: --restore: %s\n", error.c_str());
      return 2;
    }
    std::fprintf(out, "restore: %s put back as %s\n", options.restore->c_str(), database->c_str());
    return printCheck(*database, out, err, option) ? 0 : 1;
  }
  std::string error = backupSqlite(*database, *options.backup);
  if (!error.empty()) {
    std::fprintf(err, "gsadmin: --backup: %s\n", error.c_str());
    return 2;
  }
  std::fprintf(out, "backup: %s copied to %s\n", database->c_str(), options.backup->c_str());
  return printCheck(*options.backup, out, err, option) ? 0 : 1;
}

}  // namespace gsadmin
