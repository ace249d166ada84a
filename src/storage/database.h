#ifndef GSADMIN_STORAGE_DATABASE_H_
#define GSADMIN_STORAGE_DATABASE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/poller.h"

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
  std::optional<std::string> error;  // the database's message, one line
  // Set with `error` when the database could not be reached (not connected,
  // or the connection was lost during the statement): nothing was done, or
  // a transaction that was open is gone. A write that fails this way is not
  // at fault and must be kept for later.
  bool unavailable = false;
  std::vector<std::string> columns;
  std::vector<DbValue> values;
  int64_t changes = 0;

  size_t rowCount() const { return columns.empty() ? 0 : values.size() / columns.size(); }
};

// Which SQL a backend speaks, for the few statements that differ (table
// definitions, how a write transaction starts).
enum class SqlDialect { kSqlite, kPostgres };

// A notice another client of a shared database sent (NOTIFY).
struct DatabaseNotice {
  std::string channel;
  std::string payload;
};

// What Database::service() found.
struct DatabaseEvents {
  std::vector<DatabaseNotice> notices;
  // Set when the connection was lost (or a first connection failed): the
  // reason, one line. Reported once per loss, not once per retry.
  std::optional<std::string> lost;
  // True when a connection was made after a loss or after a start without
  // one: notices sent meanwhile were missed, so what is held in memory
  // should be read again.
  bool connected = false;
};

// The client's database: the moderation tables and the scripts' dbExec and
// dbQuery. One thread uses it. Nothing is ever thrown: every failure is a
// StatementResult error.
class Database {
 public:
  // The most a statement may return, counting its values and their bytes:
  // rows are held outside the script's memory ceiling until handed over.
  static constexpr size_t kMaxResultBytes = 256u * 1024 * 1024;

  // What a long statement asks now and then (before it starts, while it
  // runs, and when it ends): a reason to stop it (the script's stop request
  // or its used-up time budget), or null to go on.
  using InterruptCheck = std::function<const char*()>;

  virtual ~Database() = default;

  // Runs the one statement in `sql` with `bindings` bound to its `?`
  // placeholders in order. Text after the first statement that is more
  // than whitespace, ';' and comments is refused without running anything,
  // so one call can never run two statements. Empty SQL runs nothing. A
  // statement is not started once the interrupt check asks to stop, is
  // stopped when it asks during the run, and fails with its reason when it
  // asks as the statement ends. A shared database never blocks to connect:
  // while not connected this fails at once with `unavailable` set.
  virtual StatementResult run(std::string_view sql, const std::vector<DbValue>& bindings) = 0;

  // Rolls back a transaction left open; true when one was.
  virtual bool rollBackOpenTransaction() = 0;
  // True while a transaction is open (a script's BEGIN not yet ended).
  virtual bool inTransaction() const = 0;
  virtual bool isOpen() const = 0;
  virtual void setInterruptCheck(InterruptCheck check) = 0;
  // The longest the interrupt check lets a statement run before it stops
  // it (the scripts' time budget; 0: no limit). A shared database waits
  // that long beyond its own silence limit before it takes a statement's
  // silent server for gone, so that the budget cancels a slow statement
  // first and the connection stays.
  virtual void setStatementBudgetMs(uint64_t budgetMs) { (void)budgetMs; }
  // The longest a statement waits on a shared database's silent server
  // before it fails as unavailable, its answer then read by service() (0:
  // the whole silence limit). The records' writes set it, since they can
  // wait in the journal: a frozen server never holds the game session long.
  // A file database answers or fails by itself.
  virtual void setPatienceMs(uint64_t patienceMs) { (void)patienceMs; }
  // The patience while records are written.
  static constexpr uint64_t kRecordPatienceMs = 250;
  virtual SqlDialect dialect() const = 0;
  // Names the database in messages: the file's path, or the URI with any
  // password left out.
  virtual const std::string& description() const = 0;

  // Shared databases only; a file database keeps these defaults.
  // Receives NOTIFY on `channel` from now on, across reconnections.
  virtual void listen(std::string_view channel) { (void)channel; }
  // Adds the descriptors service() needs to the loop's one wait.
  virtual void watchOn(Poller& poller) { (void)poller; }
  // When service() has work next (monotonic ms, the session clock), if ever.
  virtual std::optional<uint64_t> nextWorkMs() const { return std::nullopt; }
  // Never blocks: advances connecting (back-off from 1 s doubling to 30 s),
  // reads what arrived, returns the notices and connection changes.
  virtual DatabaseEvents service(uint64_t nowMs) {
    (void)nowMs;
    return {};
  }
  virtual bool connected() const { return true; }
  // Waits at most `timeoutMs` for a first connection, once at start, so
  // that a reachable server is in use from the first event on. True when
  // connected.
  virtual bool awaitConnection(uint64_t timeoutMs) {
    (void)timeoutMs;
    return true;
  }

  // A second connection to the same database that can only read, for a
  // thread of its own: nothing connects yet. A shared database's server
  // also ends each of its statements after `statementTimeoutMs` (the
  // interrupt check stops them sooner on either backend). Null for a
  // database that has none.
  virtual std::unique_ptr<Database> readOnlyConnection(uint64_t statementTimeoutMs) const {
    (void)statementTimeoutMs;
    return nullptr;
  }
};

// True when `location` names a PostgreSQL server: "postgresql://..." or
// "postgres://...".
bool isDatabaseUri(std::string_view location);

// The database `location` names: a PostgreSQL server for a URI (isDatabaseUri;
// `password`, when given, is its password, read from a file by the
// caller), anything else a SQLite file path. Nothing is opened yet.
std::unique_ptr<Database> makeDatabase(const std::string& location,
                                       std::optional<std::string> password = std::nullopt,
                                       size_t maxResultBytes = Database::kMaxResultBytes);

// The database beside a script: "script.db" in the script's directory,
// whatever the script is called.
std::string databasePathForScript(const std::string& scriptPath);

// The file `fileName` in the directory of the file `path`.
std::string besideDatabase(const std::string& path, const char* fileName);

// Why a call with more than one statement was refused.
inline constexpr char kOneStatementError[] = "only one statement may be run per call";

// The journal of records waiting for a shared database, by default beside
// where the database file would be.
inline constexpr char kJournalFileName[] = "gsadmin-journal.db";

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_DATABASE_H_
