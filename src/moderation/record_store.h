#ifndef GSADMIN_MODERATION_RECORD_STORE_H_
#define GSADMIN_MODERATION_RECORD_STORE_H_

#include <cstddef>
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

  explicit RecordStore(Database& database) : database_(database) {}
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  // Opens the database and creates the tables and indexes that are
  // missing. Empty on success; otherwise the database's error.
  std::string open();

  // Queues one statement for the next flush(). `sql` must be a literal
  // (it is the key of the database's statement cache). False when the
  // queue is full and the write was dropped.
  bool queue(const char* sql, std::vector<DbValue> bindings);

  // Writes the queued statements in order, in one transaction, unless a
  // script's transaction is open: then they wait for a later flush. A
  // statement that fails is dropped and the others are written; the first
  // failure's error is returned (one line), absent when all went in.
  std::optional<std::string> flush();

  // Runs one read (or an immediate write) after flush(), so that it sees
  // every record queued before it.
  StatementResult query(const char* sql, const std::vector<DbValue>& bindings);

  size_t queued() const { return queue_.size(); }
  // Writes dropped because the queue was full, since the store was made.
  uint64_t dropped() const { return dropped_; }

  Database& database() { return database_; }

 private:
  struct Write {
    const char* sql;
    std::vector<DbValue> bindings;
  };

  Database& database_;
  std::vector<Write> queue_;
  uint64_t dropped_ = 0;
};

// The name a record is kept under: ASCII letters in lower case, so that
// "Bob" and "bOB" are one player, one ban, one admin.
std::string nameKey(std::string_view name);

// Whether a details text tells players apart: not "" and not "Unknown".
bool detailsIdentify(std::string_view details);

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_RECORD_STORE_H_
