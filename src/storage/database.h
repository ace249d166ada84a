#ifndef GSADMIN_STORAGE_DATABASE_H_
#define GSADMIN_STORAGE_DATABASE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace gsadmin {

// One value bound to a statement or read from a row.
struct DbValue {
  enum class Type { kNull, kInteger, kReal, kText, kBlob };

  static DbValue null() { return DbValue(); }
  static DbValue integer(int64_t value);
  static DbValue real(double value);
  static DbValue text(std::string value);
  static DbValue blob(std::string value);

  Type type = Type::kNull;
  int64_t integerValue = 0;
  double realValue = 0.0;
  std::string bytes;  // text or blob, NUL bytes included
};

// What one statement did: an error, or the rows it returned (row-major:
// row r, column c is values[r * columns.size() + c]) and the number of rows
// it changed.
struct StatementResult {
  std::optional<std::string> error;  // SQLite's message, one line
  std::vector<std::string> columns;
  std::vector<DbValue> values;
  int64_t changes = 0;

  size_t rowCount() const { return columns.empty() ? 0 : values.size() / columns.size(); }
};

// The scripts' database: one SQLite connection for the life of its owner,
// opened on first use, so that nothing touches the disk before a statement
// runs. A failed open is reported by that statement and tried again by the
// next one. Nothing is ever thrown: every failure is a StatementResult
// error. Not thread-safe; one thread uses it.
class Database {
 public:
  static constexpr int kBusyTimeoutMs = 1000;
  // Prepared statements kept for reuse, by their SQL text.
  static constexpr size_t kCachedStatements = 32;

  // The most a statement may return, counting its values and their bytes:
  // rows are held outside the script's memory ceiling until handed over.
  static constexpr size_t kMaxResultBytes = 256u * 1024 * 1024;

  // `path` is opened (and created, mode 0600) by the first run(); it must
  // name a regular file (see checkDatabasePath). A statement returning more
  // than `maxResultBytes` fails with "result too large".
  explicit Database(std::string path, size_t maxResultBytes = kMaxResultBytes);
  ~Database();  // finalizes every statement and closes the connection
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Runs the one statement in `sql` with `bindings` bound to its
  // placeholders in order, under the limits of SqlLimits. Text after the
  // first statement that is more than whitespace, ';' and comments is
  // refused without preparing or running anything, so one call can never
  // run two statements. Empty SQL runs nothing. A statement is not started
  // once the interrupt check asks to stop, is stopped when it asks during
  // the run, and fails with its reason when it asks as the statement ends.
  StatementResult run(std::string_view sql, const std::vector<DbValue>& bindings);

  // Rolls back a transaction left open; true when one was. Touches nothing
  // when the database was never opened.
  bool rollBackOpenTransaction();

  // True while a transaction is open (a script's BEGIN not yet ended).
  bool inTransaction() const;

  const std::string& path() const { return path_; }
  bool isOpen() const { return connection_ != nullptr; }

  // What a long statement asks now and then (before it starts, between rows,
  // and when it ends): a reason to stop it (the script's stop request or its
  // used-up time budget), or null to go on.
  using InterruptCheck = std::function<const char*()>;
  void setInterruptCheck(InterruptCheck check) { interruptCheck_ = std::move(check); }

 private:
  struct CachedStatement;

  std::optional<std::string> open();
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

// The database beside a script: "script.db" in the script's directory,
// whatever the script is called.
std::string databasePathForScript(const std::string& scriptPath);

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_DATABASE_H_
