#ifndef GSADMIN_STORAGE_SQLITE_DATABASE_H_
#define GSADMIN_STORAGE_SQLITE_DATABASE_H_

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/database.h"

struct sqlite3;
struct sqlite3_stmt;

namespace gsadmin {

// The scripts' database: one SQLite connection for the life of its owner,
// opened on first use, so that nothing touches the disk before a statement
// runs. A failed open is reported by that statement and tried again by the
// next one. Nothing is ever thrown: every failure is a StatementResult
// error. Not thread-safe; one thread uses it.
class SqliteDatabase : public Database {
 public:
  static constexpr int kBusyTimeoutMs = 1000;
  // Prepared statements kept for reuse, by their SQL text.
  static constexpr size_t kCachedStatements = 32;
  // Each connection's page cache, in KiB. SQLite's default of 2 MiB grows
  // for hours as new pages of a busy chat pass through it; the disk's own
  // cache serves what falls out of this one.
  static constexpr int kPageCacheKiB = 256;

  // `path` is opened (and created, mode 0600) by the first run(); it must
  // name a regular file (see checkDatabasePath). A statement returning more
  // than `maxResultBytes` fails with "result too large".
  // Whether the connection may write. A read-only one never creates the
  // file and never follows a symbolic link; it reads beside the writer
  // (the writer keeps the file in WAL mode).
  enum class Access { kReadWrite, kReadOnly };

  explicit SqliteDatabase(std::string path, size_t maxResultBytes = kMaxResultBytes,
                          Access access = Access::kReadWrite);
  ~SqliteDatabase() override;  // finalizes every statement and closes the connection
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;

  // As Database::run, under the limits of SqlLimits; a refused second
  // statement is never prepared.
  StatementResult run(std::string_view sql, const std::vector<DbValue>& bindings) override;

  // Rolls back a transaction left open; true when one was. Touches nothing
  // when the database was never opened.
  bool rollBackOpenTransaction() override;

  // True while a transaction is open (a script's BEGIN not yet ended).
  bool inTransaction() const override;

  // The file's path.
  const std::string& description() const override { return path_; }
  bool isOpen() const override { return connection_ != nullptr; }
  SqlDialect dialect() const override { return SqlDialect::kSqlite; }
  // Asked before a statement starts, between rows, and when it ends.
  void setInterruptCheck(InterruptCheck check) override { interruptCheck_ = std::move(check); }
  // The same file, read-only; the timeout is left to the interrupt check.
  std::unique_ptr<Database> readOnlyConnection(uint64_t statementTimeoutMs) const override;

 private:
  struct CachedStatement;

  std::optional<std::string> open();
  // The file opened as access_ asks, or the reason it could not be.
  std::optional<std::string> openFile();
  void close();
  // The prepared statement for `sql` (cached), or an error.
  sqlite3_stmt* prepare(std::string_view sql, std::string* error);
  std::optional<std::string> bind(sqlite3_stmt* statement, const std::vector<DbValue>& bindings);
  // Steps `statement` to its end, filling `result`.
  void execute(sqlite3_stmt* statement, StatementResult* result);
  const char* stopReason();
  std::string lastError() const;

  std::string path_;
  size_t maxResultBytes_;
  Access access_;
  struct ConnectionCloser {
    void operator()(sqlite3* connection) const;
  };
  static int checkInterrupt(void* self);

  std::unique_ptr<sqlite3, ConnectionCloser> connection_;
  InterruptCheck interruptCheck_;
  const char* interruptReason_ = nullptr;  // why the last statement was stopped
  // Most recently used first.
  std::vector<std::unique_ptr<CachedStatement>> cache_;
};

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_SQLITE_DATABASE_H_
