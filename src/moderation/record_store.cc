#include "moderation/record_store.h"

#include <utility>

#include "moderation/schema.h"

namespace gsadmin {
namespace {

std::string versionError(int64_t version) {
  return "the moderation tables are of a newer gsadmin (version " + std::to_string(version) +
         ", this one knows " + std::to_string(kModerationSchemaVersion) + ")";
}

// The version the tables were made with; 0 when there are none yet.
std::optional<int64_t> storedVersion(Database& database, std::string* error) {
  StatementResult version = database.run("SELECT max(version) FROM gs_schema", {});
  if (version.error) {
    *error = *version.error;
    return std::nullopt;
  }
  if (version.rowCount() == 1 && version.values[0].type == DbValue::Type::kInteger) {
    return version.values[0].integerValue;
  }
  return 0;
}

std::string createTables(Database& database) {
  // gs_schema first: a newer client's tables must not get this one's
  // indexes.
  std::span<const char* const> schema = moderationSchema();
  StatementResult created = database.run(schema.front(), {});
  if (created.error) return *created.error;
  std::string error;
  std::optional<int64_t> version = storedVersion(database, &error);
  if (!version) return error;
  if (*version > kModerationSchemaVersion) return versionError(*version);
  for (const char* statement : schema.subspan(1)) {
    StatementResult result = database.run(statement, {});
    if (result.error) return *result.error;
  }
  if (*version == kModerationSchemaVersion) return "";
  StatementResult added = database.run("INSERT INTO gs_schema (version) VALUES (?)",
                                       {DbValue::integer(kModerationSchemaVersion)});
  return added.error.value_or("");
}

}  // namespace

std::string RecordStore::open() {
  // One transaction, so that two clients starting on one file together
  // neither see half the tables nor both add the version. Deferred: tables
  // that are all there need no write lock.
  StatementResult begun = database_.run("BEGIN", {});
  if (begun.error) return *begun.error;
  std::string error = createTables(database_);
  if (!error.empty()) {
    database_.rollBackOpenTransaction();
    return error;
  }
  StatementResult committed = database_.run("COMMIT", {});
  if (committed.error) database_.rollBackOpenTransaction();
  return committed.error.value_or("");
}

bool RecordStore::queue(const char* sql, std::vector<DbValue> bindings) {
  if (queue_.size() >= kMaxQueued) {
    ++dropped_;
    return false;
  }
  queue_.push_back({sql, std::move(bindings)});
  return true;
}

std::optional<std::string> RecordStore::flush() {
  std::optional<std::string> error = write();
  std::optional<std::string> earlier = std::exchange(pendingError_, std::nullopt);
  return report(earlier ? std::move(earlier) : std::move(error));
}

std::optional<std::string> RecordStore::write() {
  if (queue_.empty() || database_.inTransaction()) return std::nullopt;
  // IMMEDIATE takes the write lock now, so that a database another process
  // holds makes one wait here rather than one for every statement.
  StatementResult begun = database_.run("BEGIN IMMEDIATE", {});
  return begun.error ? begun.error : writeQueue();
}

std::optional<std::string> RecordStore::writeQueue() {
  for (size_t i = 0; i < queue_.size(); ++i) {
    StatementResult result = database_.run(queue_[i].sql, queue_[i].bindings);
    if (!result.error) continue;
    // What went before is rolled back with it and written again next time,
    // as is this write unless it keeps failing.
    database_.rollBackOpenTransaction();
    if (++queue_[i].failures >= kWriteAttempts) {
      queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return result.error;
  }
  StatementResult committed = database_.run("COMMIT", {});
  // A transaction SQLite ended itself may or may not have been written;
  // writing it again could record things twice.
  if (committed.error && database_.rollBackOpenTransaction()) return committed.error;
  queue_.clear();
  return committed.error;
}

std::optional<std::string> RecordStore::report(std::optional<std::string> error) {
  if (!error) {
    lastReported_.clear();
    return std::nullopt;
  }
  if (*error == lastReported_) return std::nullopt;
  lastReported_ = *error;
  return error;
}

StatementResult RecordStore::query(const char* sql, const std::vector<DbValue>& bindings) {
  std::optional<std::string> error = write();
  if (error && !pendingError_) pendingError_ = std::move(error);
  return database_.run(sql, bindings);
}

std::string boundedText(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  size_t end = maxBytes;
  // Back off continuation bytes (10xxxxxx) to the start of their sequence.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

std::string nameKey(std::string_view name) {
  std::string key = boundedText(name, kMaxNameBytes);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

bool detailsIdentify(std::string_view details) {
  return !details.empty() && details != "Unknown";
}

}  // namespace gsadmin
