#ifndef GSADMIN_MODERATION_RECORD_JOURNAL_H_
#define GSADMIN_MODERATION_RECORD_JOURNAL_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/database.h"
#include "storage/sqlite_database.h"

namespace gsadmin {

// The writes for a shared database that have not reached it yet, kept in a
// SQLite file of the client's own (WAL: a commit survives a killed
// process), so that neither an exit nor a crash while the database is away
// loses a record. Each write has a sequence number, in the order queued.
// Before a batch that holds journaled writes is committed, the batch is
// marked as in flight; its writes leave the journal once the database has
// them, so that a restart after a commit whose answer was lost can ask the
// database (gs_batches) whether to send them again. One thread uses it.
class RecordJournal {
 public:
  // At most this many writes wait in the file, as in the store's queue.
  static constexpr size_t kMaxEntries = 100000;
  // One encoded write's values may take this many bytes; a longer one
  // read back is taken for damage and skipped.
  static constexpr size_t kMaxValueBytes = 64 * 1024;

  struct Entry {
    int64_t seq = 0;
    std::string sql;
    std::vector<DbValue> bindings;
  };
  // A batch sent with journaled writes whose commit was not yet answered:
  // the client and batch number it went under in gs_batches, and the last
  // journaled write it held.
  struct InFlight {
    std::string client;
    int64_t batch = 0;
    int64_t lastSeq = 0;
  };
  // One write to keep.
  struct Write {
    std::string_view sql;
    const std::vector<DbValue>* bindings;
  };

  // `path` is opened (and made, mode 0600) by open().
  explicit RecordJournal(std::string path);
  RecordJournal(const RecordJournal&) = delete;
  RecordJournal& operator=(const RecordJournal&) = delete;

  // Opens the file and makes its tables; empty, or why not (one line).
  std::string open();
  const std::string& path() const { return path_; }

  // What a run before left: the writes in order (at most kMaxEntries; a
  // damaged one is skipped and counted in *damaged) and the batch in
  // flight. Empty, or the error.
  std::string load(std::vector<Entry>* entries, std::optional<InFlight>* inFlight, size_t* damaged);
  // Keeps `writes` in one transaction; their sequence numbers in *seqs.
  // Empty, or the error (nothing kept then).
  std::string append(std::span<const Write> writes, std::vector<int64_t>* seqs);
  // Marks the batch in flight (replacing any mark); empty, or the error.
  std::string markInFlight(const InFlight& batch);
  // The database has every write up to `lastSeq`: they and the mark go.
  std::string settled(int64_t lastSeq);
  // The batch in flight was not written: the mark goes, the writes stay.
  std::string unmark();
  // The write `seq` is given up (the database refused it): it goes.
  std::string forget(int64_t seq);
  // The writes kept.
  size_t size() const { return size_; }

 private:
  std::string run(std::string_view sql, const std::vector<DbValue>& bindings);
  std::string countEntries();

  std::string path_;
  SqliteDatabase database_;
  size_t size_ = 0;
};

// `bindings` as the bytes the journal keeps, and back: false when `bytes`
// are not such an encoding (or a value is over kMaxValueBytes).
std::string encodeBindings(const std::vector<DbValue>& bindings);
bool decodeBindings(std::string_view bytes, std::vector<DbValue>* bindings);

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_RECORD_JOURNAL_H_
