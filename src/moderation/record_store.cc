#include "moderation/record_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include "moderation/audit_chain.h"
#include "moderation/schema.h"

namespace gsadmin {
namespace {

// The database's patience while records are written, none after.
class Patience {
 public:
  explicit Patience(Database& database) : database_(database) {
    database_.setPatienceMs(Database::kRecordPatienceMs);
  }
  ~Patience() { database_.setPatienceMs(0); }
  Patience(const Patience&) = delete;
  Patience& operator=(const Patience&) = delete;

 private:
  Database& database_;
};

StatementResult failed(std::string error) {
  StatementResult result;
  result.error = std::move(error);
  return result;
}

StatementResult versionError(int64_t version) {
  return failed("the moderation tables are of a newer gsadmin (version " + std::to_string(version) +
                ", this one knows " + std::to_string(kModerationSchemaVersion) + ")");
}

// The version the tables were made with (0 when there are none yet), or
// the failed statement.
StatementResult storedVersion(Database& database, int64_t* version) {
  StatementResult result = database.run("SELECT max(version) FROM gs_schema", {});
  *version = 0;
  if (!result.error && result.rowCount() == 1 && result.values[0].type == DbValue::Type::kInteger) {
    *version = result.values[0].integerValue;
  }
  return result;
}

// Runs `statements` in order; the first that fails, else an empty result.
StatementResult runAll(Database& database, const std::vector<std::string>& statements) {
  for (const std::string& statement : statements) {
    StatementResult result = database.run(statement, {});
    if (result.error) return result;
  }
  return {};
}

// Creates or upgrades the tables in the open transaction; the failed
// statement, or an empty result.
StatementResult createTables(Database& database) {
  // gs_schema first: a newer client's tables must not get this one's
  // indexes.
  StatementResult created = database.run(schemaVersionTable(database.dialect()), {});
  if (created.error) return created;
  int64_t version = 0;
  StatementResult read = storedVersion(database, &version);
  if (read.error) return read;
  if (version > kModerationSchemaVersion) return versionError(version);
  // Up to date on a shared database: nothing to run. CREATE INDEX takes
  // its table's lock even when the index is there, and the other clients'
  // writes meanwhile could deadlock with it.
  if (version == kModerationSchemaVersion && database.dialect() == SqlDialect::kPostgres) {
    return {};
  }
  // New tables are made in their latest shape; older ones are brought to
  // it a version at a time.
  for (int64_t from = version; from > 0 && from < kModerationSchemaVersion; ++from) {
    StatementResult upgraded = runAll(database, moderationUpgrade(static_cast<int>(from)));
    if (upgraded.error) return upgraded;
  }
  if (version > 0 && version < kModerationSchemaVersion) {
    StatementResult filled = fillBanSkeletons(database);
    if (filled.error) return filled;
  }
  StatementResult made = runAll(database, moderationSchema(database.dialect()));
  if (made.error || version == kModerationSchemaVersion) return made;
  return database.run("INSERT INTO gs_schema (version) VALUES (?)",
                      {DbValue::integer(kModerationSchemaVersion)});
}

std::string randomClientId() {
  std::random_device device;
  uint64_t id = (static_cast<uint64_t>(device()) << 32) ^ device();
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(id));
  return text;
}

}  // namespace

RecordStore::RecordStore(Database& database) : database_(database), clientId_(randomClientId()) {}

std::string RecordStore::open() {
  // One transaction, so that two clients starting on one database together
  // neither see half the tables nor both upgrade them: IMMEDIATE takes
  // SQLite's write lock at once; on PostgreSQL a lock of the client's own,
  // held to the end of the transaction, keeps the second one waiting until
  // the first has committed, and it then finds the tables up to date.
  StatementResult result = database_.run(shared() ? "BEGIN" : "BEGIN IMMEDIATE", {});
  if (!result.error && shared()) {
    result = database_.run("SELECT pg_advisory_xact_lock(?)", {DbValue::integer(kSchemaLockKey)});
  }
  if (!result.error) result = createTables(database_);
  if (!result.error) result = database_.run("COMMIT", {});
  unavailable_ = result.unavailable;
  ready_ = !result.error;
  if (!result.error) return "";
  database_.rollBackOpenTransaction();
  return *result.error;
}

bool RecordStore::queue(const char* sql, std::vector<DbValue> bindings) {
  if (queue_.size() >= kMaxQueued) {
    ++dropped_;
    return false;
  }
  queue_.push_back({sql, std::move(bindings), ++tickets_});
  return true;
}

bool RecordStore::waiting(uint64_t ticket) const {
  // In ticket order: writes leave the queue, none is put back.
  auto found = std::lower_bound(queue_.begin(), queue_.end(), ticket,
                                [](const Write& write, uint64_t t) { return write.ticket < t; });
  return found != queue_.end() && found->ticket == ticket;
}

void RecordStore::queueNotice(std::string payload) {
  if (!shared()) return;
  queue("SELECT pg_notify(?, ?)",
        {DbValue::text(kChangesChannel), DbValue::text(std::move(payload))});
  noticeWaiting_ = true;
}

std::optional<std::string> RecordStore::flush() {
  std::optional<std::string> error = write();
  if (queue_.empty()) noticeWaiting_ = false;
  // What cannot go now is kept where an exit or a crash cannot lose it.
  bool away = !ready_ || !database_.connected() || unanswered_;
  if (journal_ && !queue_.empty() && away) {
    std::string kept = keepInJournal();
    if (!kept.empty()) journalError_ = "cannot keep records in " + journal_->path() + ": " + kept;
  }
  if (journalError_ && !error) error = std::exchange(journalError_, std::nullopt);
  std::optional<std::string> earlier = std::exchange(pendingError_, std::nullopt);
  return report(earlier ? std::move(earlier) : std::move(error));
}

std::optional<std::string> RecordStore::write() {
  if (!ready_ || queue_.empty() || database_.inTransaction()) return std::nullopt;
  // Records can wait (in the journal too): a silent server holds the loop
  // for them no longer than its patience.
  Patience patience(database_);
  if (unanswered_ && !settleUnanswered()) return std::nullopt;
  if (queue_.empty()) return std::nullopt;
  // IMMEDIATE takes the write lock now, so that a database another process
  // holds makes one wait here rather than one for every statement.
  StatementResult begun = database_.run(shared() ? "BEGIN" : "BEGIN IMMEDIATE", {});
  if (begun.unavailable) return std::nullopt;
  return begun.error ? begun.error : writeQueue();
}

StatementResult RecordStore::runWrite(AuditChainer& audit, const Write& write) {
  // Compared as text: a write read back from the journal has its own copy.
  if (std::strcmp(write.sql, kInsertAudit) == 0) return audit.insert(write.bindings);
  if (std::strcmp(write.sql, kInsertAuditOfSanction) == 0) {
    return audit.insertOfSanction(write.bindings);
  }
  return database_.run(write.sql, write.bindings);
}

std::optional<std::string> RecordStore::writeQueue() {
  AuditChainer audit(database_);
  for (size_t i = 0; i < queue_.size(); ++i) {
    StatementResult result = runWrite(audit, queue_[i]);
    if (!result.error) continue;
    // What went before is rolled back with it and written again next time,
    // as is this write unless it keeps failing.
    if (!result.unavailable && ++queue_[i].failures >= kWriteAttempts) {
      database_.rollBackOpenTransaction();
      if (journal_ && queue_[i].journalSeq != 0) journal_->forget(queue_[i].journalSeq);
      queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(i));
      return result.error;
    }
    return abandon(result);
  }
  int64_t batch = ++batch_;
  if (shared()) {
    StatementResult recorded = database_.run(
        "INSERT INTO gs_batches (client, batch, time)"
        " VALUES (?, ?, CAST(extract(epoch FROM now()) AS BIGINT))",
        {DbValue::text(clientId_), DbValue::integer(batch)});
    if (recorded.error) return abandon(recorded);
    markInJournal(batch);
  }
  StatementResult committed = database_.run("COMMIT", {});
  if (committed.error && committed.unavailable) {
    // Written or not, on a shared database only gs_batches can tell, once
    // it is back; anywhere else a transaction cut off is gone.
    if (shared()) unanswered_ = Unanswered{clientId_, batch, queue_.size()};
    return std::nullopt;
  }
  // A transaction SQLite ended itself may or may not have been written;
  // writing it again could record things twice.
  if (committed.error && database_.rollBackOpenTransaction()) return committed.error;
  written(queue_.size());
  return committed.error;
}

std::optional<std::string> RecordStore::abandon(const StatementResult& result) {
  database_.rollBackOpenTransaction();
  if (result.unavailable) return std::nullopt;
  return result.error;
}

bool RecordStore::settleUnanswered() {
  StatementResult found =
      database_.run("SELECT count(*) FROM gs_batches WHERE client = ? AND batch = ?",
                    {DbValue::text(unanswered_->client), DbValue::integer(unanswered_->batch)});
  if (found.error || found.rowCount() != 1) return false;
  if (found.values[0].integerValue > 0) {
    written(std::min(unanswered_->writes, queue_.size()));
  } else if (journal_) {
    journal_->unmark();
  }
  unanswered_.reset();
  return true;
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
  StatementResult result = database_.run(sql, bindings);
  if (result.error && !queryError_) queryError_ = result.error;
  return result;
}

std::optional<std::string> RecordStore::takeQueryError() {
  return std::exchange(queryError_, std::nullopt);
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
