#ifndef GSADMIN_MODERATION_RECORD_STORE_H_
#define GSADMIN_MODERATION_RECORD_STORE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/database.h"

namespace gsadmin {

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

 private:
  struct Write {
    const char* sql;
    std::vector<DbValue> bindings;
    uint64_t ticket = 0;
    int failures = 0;
  };

  // A flush whose COMMIT was not answered: its batch number and how many
  // writes at the front of the queue it held.
  struct Unanswered {
    int64_t batch = 0;
    size_t writes = 0;
  };

  // Writes the queue when no script's transaction is open; the error.
  std::optional<std::string> write();
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
