#include "storage/sqlite_database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "storage/database_path.h"
#include "storage/sql_sandbox.h"
#include "storage/sql_text.h"

namespace gsadmin {

// SQLite virtual-machine steps between two looks at the interrupt check.
// SQLite looks only at loop jumps, and a row of a simple scan takes four or
// five steps: this is a look every row or two, each of whose function calls
// may take up to about half a second at the limits of SqlLimits. A look
// costs a coarse clock read; its cost did not show in a measurement.
constexpr int kProgressInterval = 10;
// A read-only connection runs the client's own statements, none of whose
// function calls take long: a look every thousand steps (some hundred rows,
// microseconds) is as prompt, and a scan of a million rows does not pay a
// look every other row.
constexpr int kReaderProgressInterval = 1000;

struct SqliteDatabase::CachedStatement {
  CachedStatement(std::string text, sqlite3_stmt* prepared)
      : sql(std::move(text)), statement(prepared) {}
  ~CachedStatement() { sqlite3_finalize(statement); }
  CachedStatement(const CachedStatement&) = delete;
  CachedStatement& operator=(const CachedStatement&) = delete;

  std::string sql;
  sqlite3_stmt* statement;
};

namespace {

// SQLite's messages may quote a token of the SQL that spans lines or holds
// control bytes; the caller prints one line, control bytes shown as '?'.
std::string oneLine(const char* message) {
  std::string line = message ? message : "unknown error";
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return line;
}

// Creates a missing database file with mode 0600 before SQLite opens it, so
// that it never exists with a wider mode; SQLite gives its WAL and
// shared-memory files the database file's mode. An existing file is left as
// it is (and never opened here: closing a descriptor would drop another
// connection's locks on it).
std::optional<std::string> createPrivateFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ::close(fd);
    return std::nullopt;
  }
  if (errno == EEXIST) return std::nullopt;
  return "cannot create " + path + ": " + std::strerror(errno);
}

// The bytes of a text or blob column, read without copying (a zeroblob is
// not even made); 0 for other types.
size_t storedBytes(sqlite3_stmt* statement, int column) {
  int type = sqlite3_column_type(statement, column);
  if (type != SQLITE_TEXT && type != SQLITE_BLOB) return 0;
  return static_cast<size_t>(sqlite3_column_bytes(statement, column));
}

DbValue readColumn(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
      return DbValue::integer(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
      return DbValue::real(sqlite3_column_double(statement, column));
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      int length = sqlite3_column_bytes(statement, column);
      return DbValue::text(text ? std::string(text, static_cast<size_t>(length)) : std::string());
    }
    case SQLITE_BLOB: {
      const auto* blob = static_cast<const char*>(sqlite3_column_blob(statement, column));
      int length = sqlite3_column_bytes(statement, column);
      return DbValue::blob(blob ? std::string(blob, static_cast<size_t>(length)) : std::string());
    }
    default:
      return DbValue::null();
  }
}

}  // namespace

SqliteDatabase::SqliteDatabase(std::string path, size_t maxResultBytes, Access access)
    : path_(std::move(path)), maxResultBytes_(maxResultBytes), access_(access) {}

SqliteDatabase::~SqliteDatabase() {
  close();
}

std::unique_ptr<Database> SqliteDatabase::readOnlyConnection(uint64_t) const {
  return std::make_unique<SqliteDatabase>(path_, maxResultBytes_, Access::kReadOnly);
}

std::optional<std::string> SqliteDatabase::openFile() {
  bool readOnly = access_ == Access::kReadOnly;
  if (!readOnly) {
    if (std::optional<std::string> error = createPrivateFile(path_)) return error;
  }
  if (std::optional<std::string> error = checkDatabasePath(path_)) return error;
  // The file exists now, so SQLite is not asked to create it; a reader
  // must not make one either.
  int flags = readOnly ? SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW : SQLITE_OPEN_READWRITE;
  sqlite3* opened = nullptr;
  int openResult = sqlite3_open_v2(path_.c_str(), &opened, flags, nullptr);
  connection_.reset(opened);
  if (openResult != SQLITE_OK) {
    std::string error = lastError();
    close();
    return error;
  }
  return std::nullopt;
}

std::optional<std::string> SqliteDatabase::open() {
  if (std::optional<std::string> error = openFile()) return error;
  // SQL must not become a way for a script to create or open other files,
  // to run code of its choosing, or to run one call for ever.
  if (!sandboxConnection(connection_.get())) {
    close();
    return "cannot restrict the database connection";
  }
  sqlite3_busy_timeout(connection_.get(), kBusyTimeoutMs);
  // A negative size is in KiB.
  std::string cacheSize = "PRAGMA cache_size=-" + std::to_string(kPageCacheKiB);
  sqlite3_exec(connection_.get(), cacheSize.c_str(), nullptr, nullptr, nullptr);
  if (access_ == Access::kReadOnly) {
    sqlite3_progress_handler(connection_.get(), kReaderProgressInterval, checkInterrupt, this);
    return std::nullopt;
  }
  // A read-only file cannot switch to WAL; it is still readable as it is.
  int walResult =
      sqlite3_exec(connection_.get(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  if (walResult != SQLITE_OK && (walResult & 0xFF) != SQLITE_READONLY) {
    std::string error = lastError();
    close();
    return error;
  }
  // With WAL, NORMAL keeps every commit across a killed process.
  sqlite3_exec(connection_.get(), "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  // A long statement stops as Lua code would: on a stop request or when the
  // call's time budget is used up.
  sqlite3_progress_handler(connection_.get(), kProgressInterval, checkInterrupt, this);
  return std::nullopt;
}

void SqliteDatabase::close() {
  cache_.clear();  // statements first: a connection with statements stays open
  connection_.reset();
}

std::string SqliteDatabase::lastError() const {
  return oneLine(connection_ ? sqlite3_errmsg(connection_.get()) : "out of memory");
}

sqlite3_stmt* SqliteDatabase::prepare(std::string_view sql, std::string* error) {
  for (size_t i = 0; i < cache_.size(); ++i) {
    if (cache_[i]->sql == sql) {
      // Move to the front, so the least recently used is dropped first.
      std::rotate(cache_.begin(), cache_.begin() + static_cast<long>(i),
                  cache_.begin() + static_cast<long>(i) + 1);
      return cache_[0]->statement;
    }
  }
  if (sql.size() > static_cast<size_t>(SqlLimits::kSqlBytes)) {
    *error = "statement too long";
    return nullptr;
  }
  // Refused before anything is prepared: preparing may already act.
  if (holdsSecondStatement(sql)) {
    *error = kOneStatementError;
    return nullptr;
  }
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(connection_.get(), sql.data(), static_cast<int>(sql.size()), &statement,
                         &tail) != SQLITE_OK) {
    *error = lastError();
    return nullptr;
  }
  // What follows a statement whose body holds ';' (a trigger's) is read
  // here, never prepared.
  if (!holdsNoStatement(sql.substr(static_cast<size_t>(tail - sql.data())))) {
    sqlite3_finalize(statement);
    *error = kOneStatementError;
    return nullptr;
  }
  if (statement == nullptr) return nullptr;  // only whitespace and comments

  cache_.insert(cache_.begin(), std::make_unique<CachedStatement>(std::string(sql), statement));
  if (cache_.size() > kCachedStatements) cache_.pop_back();
  return statement;
}

std::optional<std::string> SqliteDatabase::bind(sqlite3_stmt* statement,
                                                const std::vector<DbValue>& bindings) {
  int placeholders = sqlite3_bind_parameter_count(statement);
  if (bindings.size() != static_cast<size_t>(placeholders)) {
    return std::to_string(bindings.size()) + " values given for " + std::to_string(placeholders) +
           " placeholders";
  }
  for (int i = 0; i < placeholders; ++i) {
    const DbValue& value = bindings[static_cast<size_t>(i)];
    int result = SQLITE_OK;
    // The values outlive the statement's run, and bindings are cleared after.
    switch (value.type) {
      case DbValue::Type::kNull:
        result = sqlite3_bind_null(statement, i + 1);
        break;
      case DbValue::Type::kInteger:
        result = sqlite3_bind_int64(statement, i + 1, value.integerValue);
        break;
      case DbValue::Type::kReal:
        result = sqlite3_bind_double(statement, i + 1, value.realValue);
        break;
      case DbValue::Type::kText:
        result = sqlite3_bind_text64(statement, i + 1, value.bytes.data(), value.bytes.size(),
                                     SQLITE_STATIC, SQLITE_UTF8);
        break;
      case DbValue::Type::kBlob:
        result = sqlite3_bind_blob64(statement, i + 1, value.bytes.data(), value.bytes.size(),
                                     SQLITE_STATIC);
        break;
    }
    if (result != SQLITE_OK) return lastError();
  }
  return std::nullopt;
}

StatementResult SqliteDatabase::run(std::string_view sql, const std::vector<DbValue>& bindings) {
  StatementResult result;
  if (connection_ == nullptr) {
    result.error = open();
    if (result.error) return result;
  }
  std::string prepareError;
  sqlite3_stmt* statement = prepare(sql, &prepareError);
  if (statement == nullptr) {
    if (!prepareError.empty()) result.error = prepareError;
    return result;
  }
  result.error = bind(statement, bindings);
  // A call whose budget is used up starts nothing more. This first look
  // also starts the budget's clock when the script's code has not yet.
  if (!result.error) {
    if (const char* reason = stopReason()) result.error = reason;
  }
  if (!result.error) execute(statement, &result);
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  return result;
}

void SqliteDatabase::execute(sqlite3_stmt* statement, StatementResult* result) {
  interruptReason_ = nullptr;
  int64_t totalBefore = sqlite3_total_changes64(connection_.get());
  int step = sqlite3_step(statement);
  // Read after the first step, which prepares the statement again when
  // the schema changed since it was cached.
  int columns = sqlite3_column_count(statement);
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(statement, c);
    result->columns.emplace_back(name ? name : "");
  }
  size_t resultBytes = 0;
  for (; step == SQLITE_ROW; step = sqlite3_step(statement)) {
    // Each value is counted before it is copied, so that the copies never
    // pass the cap by more than one value.
    for (int c = 0; c < columns && resultBytes <= maxResultBytes_; ++c) {
      resultBytes += sizeof(DbValue) + storedBytes(statement, c);
      if (resultBytes <= maxResultBytes_) result->values.push_back(readColumn(statement, c));
    }
    if (resultBytes > maxResultBytes_) break;
  }
  // One long function call is seen only once it returns: a statement that
  // ends after the budget was used up reports that, not success.
  const char* lateReason = step == SQLITE_DONE ? stopReason() : nullptr;
  if (step == SQLITE_ROW) {
    result->error = "result too large";
  } else if (lateReason != nullptr) {
    result->error = lateReason;
  } else if (step != SQLITE_DONE) {
    result->error = (step & 0xFF) == SQLITE_INTERRUPT && interruptReason_ != nullptr
                        ? std::string(interruptReason_)
                        : lastError();
  } else if (sqlite3_total_changes64(connection_.get()) != totalBefore) {
    // Only a statement that changed rows reports them; sqlite3_changes
    // still holds an earlier statement's count after a CREATE or SELECT.
    result->changes = sqlite3_changes64(connection_.get());
  }
  if (result->error) result->values.clear();
}

bool SqliteDatabase::inTransaction() const {
  return connection_ != nullptr && sqlite3_get_autocommit(connection_.get()) == 0;
}

bool SqliteDatabase::rollBackOpenTransaction() {
  if (connection_ == nullptr || sqlite3_get_autocommit(connection_.get()) != 0) return false;
  sqlite3_exec(connection_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
  return true;
}

void SqliteDatabase::ConnectionCloser::operator()(sqlite3* connection) const {
  sqlite3_close(connection);
}

const char* SqliteDatabase::stopReason() {
  return interruptCheck_ ? interruptCheck_() : nullptr;
}

int SqliteDatabase::checkInterrupt(void* self) {
  auto* database = static_cast<SqliteDatabase*>(self);
  database->interruptReason_ = database->stopReason();
  return database->interruptReason_ != nullptr ? 1 : 0;
}

}  // namespace gsadmin
