#include "storage/sqlite_backup.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace gsadmin {
namespace {

constexpr useconds_t kBusyRetryMicros = 10000;

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, Closer>;

Connection openFile(const std::string& path, int flags, std::string* error) {
  sqlite3* db = nullptr;
  int result = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOFOLLOW, nullptr);
  Connection connection(db);
  if (result != SQLITE_OK) {
    *error = path + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(result));
    return nullptr;
  }
  return connection;
}

std::string copy(sqlite3* from, sqlite3* to) {
  sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
  if (backup == nullptr) return sqlite3_errmsg(to);
  int result = SQLITE_OK;
  do {
    result = sqlite3_backup_step(backup, kBackupStepPages);
    if (result == SQLITE_BUSY || result == SQLITE_LOCKED) usleep(kBusyRetryMicros);
  } while (result == SQLITE_OK || result == SQLITE_BUSY || result == SQLITE_LOCKED);
  sqlite3_backup_finish(backup);
  return result == SQLITE_DONE ? "" : sqlite3_errstr(result);
}

// The first column of each row of `sql`, as text.
std::vector<std::string> column(sqlite3* db, const char* sql, std::string* error) {
  std::vector<std::string> values;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
    *error = sqlite3_errmsg(db);
    return values;
  }
  int result = SQLITE_OK;
  while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(statement, 0);
    values.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
  }
  if (result != SQLITE_DONE) *error = sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  return values;
}

}  // namespace

std::string backupSqlite(const std::string& source, const std::string& target) {
  struct stat info {};
  if (lstat(target.c_str(), &info) == 0) return target + ": exists; give a new file name";
  std::string error;
  Connection from = openFile(source, SQLITE_OPEN_READONLY, &error);
  if (!from) return error;
  Connection to = openFile(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &error);
  if (!to) return error;
  error = copy(from.get(), to.get());
  // One self-contained file, whatever journal the database uses.
  if (error.empty())
    sqlite3_exec(to.get(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
  to.reset();
  if (!error.empty()) unlink(target.c_str());
  return error.empty() ? "" : source + ": " + error;
}

std::string restoreSqlite(const std::string& source, const std::string& target) {
  std::string error;
  Connection from = openFile(source, SQLITE_OPEN_READONLY, &error);
  if (!from) return error;
  Connection to = openFile(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &error);
  if (!to) return error;
  // Held from the first transaction until the connection closes.
  sqlite3_exec(to.get(), "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr);
  if (sqlite3_exec(to.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return target + ": a client holds the database (" + sqlite3_errmsg(to.get()) +
           "); stop it first";
  }
  sqlite3_exec(to.get(), "COMMIT", nullptr, nullptr, nullptr);
  error = copy(from.get(), to.get());
  return error.empty() ? "" : target + ": " + error;
}

SqliteCheck checkSqlite(const std::string& path) {
  SqliteCheck check;
  Connection db = openFile(path, SQLITE_OPEN_READONLY, &check.error);
  if (!db) return check;
  std::vector<std::string> integrity = column(db.get(), "PRAGMA integrity_check", &check.error);
  check.integrity = integrity.empty() ? "" : integrity.front();
  std::vector<std::string> tables =
      column(db.get(),
             "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'"
             " ORDER BY name",
             &check.error);
  for (const std::string& table : tables) {
    std::string quoted = "\"";
    for (char c : table) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    std::vector<std::string> rows =
        column(db.get(), ("SELECT count(*) FROM " + quoted + "\"").c_str(), &check.error);
    check.tableRows.emplace_back(table, rows.empty() ? -1 : std::stoll(rows.front()));
  }
  return check;
}

}  // namespace gsadmin
