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

std::optional<int> runBackupCommand(const Options& options, std::FILE* out, std::FILE* err) {
  if (!options.backup) return std::nullopt;
  std::optional<std::string> source = sqliteFileOf(options);
  if (!source) {
    std::fprintf(err,
                 "gsadmin: --backup: a PostgreSQL database is backed up with pg_dump "
                 "(docs/fleet.md)\n");
    return 2;
  }
  std::string error = backupSqlite(*source, *options.backup);
  if (!error.empty()) {
    std::fprintf(err, "gsadmin: --backup: %s\n", error.c_str());
    return 2;
  }
  std::fprintf(out, "backup: %s copied to %s\n", source->c_str(), options.backup->c_str());
  SqliteCheck check = checkSqlite(*options.backup);
  std::fprintf(out, "integrity: %s\n", check.integrity.c_str());
  for (const auto& [table, rows] : check.tableRows) {
    std::fprintf(out, "%s: %lld rows\n", table.c_str(), static_cast<long long>(rows));
  }
  if (!check.error.empty()) std::fprintf(err, "gsadmin: --backup: %s\n", check.error.c_str());
  return check.error.empty() && check.integrity == "ok" ? 0 : 1;
}

}  // namespace gsadmin
