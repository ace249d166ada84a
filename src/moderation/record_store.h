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
// the script, or a reload, might roll back). The database must outlive the
// store.
class RecordStore {
 public:
  // At most this many writes wait; more are dropped and counted.
  static constexpr size_t kMaxQueued = 100000;
  // A write that fails this many flushes in a row is dropped.
  static constexpr int kWriteAttempts = 2;

  explicit RecordStore(Database& database) : database_(database) {}
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  // Opens the database and creates the tables and indexes that are
  // missing. Tables of a newer version than this client knows are left
  // untouched and refused. Empty on success; otherwise the reason.
  std::string open();

  // Queues one statement for the next flush(). `sql` must be a literal
  // (it is the key of the database's statement cache). False when the
  // queue is full and the write was dropped.
  bool queue(const char* sql, std::vector<DbValue> bindings);

  // Writes the queued statements in order, in one transaction, unless a
  // script's transaction is open: then they wait for a later flush. When a
  // statement fails, the transaction is rolled back and the writes wait for
  // the next flush; the failing one is dropped once it has failed
  // kWriteAttempts times. Returns the error (one line) of this flush or of
  // one that query() made; an error repeated by consecutive flushes is
  // returned once. Absent when there is nothing new to report.
  std::optional<std::string> flush();

  // Runs one read (or an immediate write) after flush(), so that it sees
  // every record queued before it; while a script's transaction is open
  // the queued records are not written yet and it does not see them.
  StatementResult query(const char* sql, const std::vector<DbValue>& bindings);

  size_t queued() const { return queue_.size(); }
  // Writes dropped because the queue was full, since the store was made.
  uint64_t dropped() const { return dropped_; }

  Database& database() { return database_; }

 private:
  struct Write {
    const char* sql;
    std::vector<DbValue> bindings;
    int failures = 0;
  };

  // Writes the queue when no script's transaction is open; the error.
  std::optional<std::string> write();
  // Runs the queue in the open transaction and commits it.
  std::optional<std::string> writeQueue();
  // `error`, unless it is the one reported last.
  std::optional<std::string> report(std::optional<std::string> error);

  Database& database_;
  std::vector<Write> queue_;
  uint64_t dropped_ = 0;
  std::optional<std::string> pendingError_;  // met by query()'s flush
  std::string lastReported_;
};

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
