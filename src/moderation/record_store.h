#ifndef GSADMIN_MODERATION_RECORD_STORE_H_
#define GSADMIN_MODERATION_RECORD_STORE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "moderation/record_journal.h"
#include "storage/database.h"

namespace gsadmin {

class AuditChainer;

// The moderation tables' side of the client's database. Writes are queued
// and written together by flush(), in a transaction of their own, so that
// recording a busy server costs one commit per pass of the loop, and a
// record never becomes part of a transaction a script has left open (which
// the script, or a reload, might roll back). While the database cannot be
// reached (a shared one that is away) the writes wait, in order, and are
// written once it is back, exactly once. The database must outlive the
// store.
class RecordStore {
 public:
  // At most this many writes wait; more are dropped and counted.
  static constexpr size_t kMaxQueued = 100000;
  // A write that fails this many flushes in a row is dropped.
  static constexpr int kWriteAttempts = 2;

  // `database` with a random client id for this run (see gs_batches).
  explicit RecordStore(Database& database);
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  // Opens the database and creates the tables and indexes that are
  // missing, or upgrades those of an older version, in one transaction
  // that two clients starting together never both get to run the
  // upgrade in. Tables of a newer version than this client knows are left
  // untouched and refused. Empty on success; otherwise the reason, and
  // unavailable() tells whether the database could not be reached.
  std::string open();
  // True when the last open() failed because the database was away.
  bool unavailable() const { return unavailable_; }

  // Queues one statement for the next flush(). `sql` must be a literal
  // (it is the key of the database's statement cache). False when the
  // queue is full and the write was dropped.
  bool queue(const char* sql, std::vector<DbValue> bindings);
  // On a shared database, queues a notice to the other clients on
  // kChangesChannel, sent when the writes queued before it are committed;
  // nothing on a file of this client's own.
  void queueNotice(std::string payload);
  // True while a notice waits: the writes before it are then urgent, since
  // other clients act on it (a ban made here kicks there).
  bool noticeWaiting() const { return noticeWaiting_ && !queue_.empty(); }
  // The number of the last write queue() took (they count up from 1), and
  // whether that write still waits: neither written nor dropped yet.
  uint64_t lastTicket() const { return tickets_; }
  bool waiting(uint64_t ticket) const;

  // Writes the queued statements in order, in one transaction, unless a
  // script's transaction is open: then they wait for a later flush. When a
  // statement fails, the transaction is rolled back and the writes wait for
  // the next flush; the failing one is dropped once it has failed
  // kWriteAttempts times. A database that cannot be reached fails no
  // write: they all wait. On a shared database the transaction also
  // records its batch in gs_batches, so that when the answer to its COMMIT
  // is lost the next flush can tell whether it was written. Returns the
  // error (one line) of this flush or of one that query() made; an error
  // repeated by consecutive flushes is returned once. Absent when there is
  // nothing new to report.
  std::optional<std::string> flush();

  // Runs one read (or an immediate write) after flush(), so that it sees
  // every record queued before it; while a script's transaction is open
  // the queued records are not written yet and it does not see them.
  StatementResult query(const char* sql, const std::vector<DbValue>& bindings);
  // The first error a query() met since the last call, cleared: the
  // readers find nothing on an error, and a listing says why instead.
  std::optional<std::string> takeQueryError();

  // The name of the server this client administers, recorded in the rows
  // that have a server column.
  void setServerName(std::string name) { serverName_ = std::move(name); }
  const std::string& serverName() const { return serverName_; }
  const std::string& clientId() const { return clientId_; }

  size_t queued() const { return queue_.size(); }
  // True when the database is one that several clients share.
  bool shared() const { return database_.dialect() == SqlDialect::kPostgres; }
  // Writes dropped because the queue was full, since the store was made.
  uint64_t dropped() const { return dropped_; }

  Database& database() { return database_; }
  const Database& database() const { return database_; }

  // On a shared database, keeps the writes that cannot reach it in
  // `journal` (opened), and first takes back into the queue, ahead of
  // anything queued since, what an earlier run left there. Empty, or the
  // journal's error (it is then not used); *restored says how many writes
  // came back, *damaged how many were unreadable and skipped.
  std::string useJournal(std::unique_ptr<RecordJournal> journal, size_t* restored, size_t* damaged);
  // Keeps every queued write not yet in the journal there; flush() does
  // so by itself while the database is away. Empty, or the error.
  std::string keepInJournal();
  // Calls `visit` with the bindings of each queued write of `sql` (by its
  // text), in order.
  void forEachQueued(const char* sql,
                     const std::function<void(const std::vector<DbValue>&)>& visit) const;
  // The writes the journal holds; 0 without one.
  size_t journaled() const { return journal_ ? journal_->size() : 0; }
  const RecordJournal* journal() const { return journal_.get(); }

 private:
  struct Write {
    const char* sql;
    std::vector<DbValue> bindings;
    uint64_t ticket = 0;
    int failures = 0;
    int64_t journalSeq = 0;  // 0: not in the journal
  };

  // A flush whose COMMIT was not answered: the client and batch number it
  // was recorded under and how many writes at the front of the queue it
  // held.
  struct Unanswered {
    std::string client;
    int64_t batch = 0;
    size_t writes = 0;
  };

  // The highest journal number among the first `writes` of the queue; 0
  // when none of them is journaled.
  int64_t lastJournaled(size_t writes) const;
  // The first `writes` of the queue reached the database: they leave it,
  // and the journal.
  void written(size_t writes);
  // Marks the batch about to be committed in the journal when it holds
  // journaled writes. False when the mark could not be made.
  bool markInJournal(int64_t batch);
  // A literal-like pointer for SQL read back from the journal.
  const char* internedSql(const std::string& sql);

  // Writes the queue when no script's transaction is open; the error.
  std::optional<std::string> write();
  // Runs one write in the open transaction; the audit's through `audit`.
  StatementResult runWrite(AuditChainer& audit, const Write& write);
  // Runs the queue in the open transaction and commits it.
  std::optional<std::string> writeQueue();
  // Rolls back after `result` failed in the transaction. The writes wait
  // (an unreachable database is no write's fault); the error, if any.
  std::optional<std::string> abandon(const StatementResult& result);
  // Looks up the unanswered batch: drops its writes when they were
  // committed. False while that cannot be told yet.
  bool settleUnanswered();
  // `error`, unless it is the one reported last.
  std::optional<std::string> report(std::optional<std::string> error);

  Database& database_;
  std::vector<Write> queue_;
  uint64_t dropped_ = 0;
  uint64_t tickets_ = 0;
  std::optional<std::string> pendingError_;  // met by query()'s flush
  std::optional<std::string> queryError_;
  std::string lastReported_;
  bool unavailable_ = false;
  bool noticeWaiting_ = false;
  bool ready_ = false;  // open() made the tables: writes may go
  std::string serverName_;
  std::string clientId_;
  int64_t batch_ = 0;
  std::optional<Unanswered> unanswered_;
  std::unique_ptr<RecordJournal> journal_;
  std::set<std::string> journalSql_;         // stable texts for the queue's pointers
  std::optional<std::string> journalError_;  // reported by the next flush
};

// The channel on which the clients of a shared database tell one another
// of changes to what they hold in memory. Its notices: "bans NAME_KEY" (the
// active bans on a name changed) and "admins" (the admins changed).
inline constexpr char kChangesChannel[] = "gs_changes";
inline constexpr char kBansNotice[] = "bans ";
inline constexpr char kAdminsNotice[] = "admins";

// The most bytes kept of a name, a details text and a line of text; longer
// ones are cut (at a character boundary) before they are stored or looked
// up, so the tables stay bounded whatever a server or a script sends.
inline constexpr size_t kMaxNameBytes = 64;
inline constexpr size_t kMaxDetailsBytes = 256;
inline constexpr size_t kMaxTextBytes = 1024;

// `text` cut to at most `maxBytes`, never inside a UTF-8 sequence.
std::string boundedText(std::string_view text, size_t maxBytes);

// The name a record is kept under: ASCII letters in lower case, so that
// "Bob" and "bOB" are one player, one ban, one admin; cut to kMaxNameBytes.
std::string nameKey(std::string_view name);

// Whether a details text tells players apart: not "" and not "Unknown".
bool detailsIdentify(std::string_view details);

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_RECORD_STORE_H_
