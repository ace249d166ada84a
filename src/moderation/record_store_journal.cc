// The RecordStore's use of its journal: taking back what a run before left,
// keeping what cannot reach the database, and letting go of what did.

#include <algorithm>
#include <cstring>
#include <utility>

#include "moderation/record_store.h"

namespace gsadmin {

std::string RecordStore::useJournal(std::unique_ptr<RecordJournal> journal, size_t* restored,
                                    size_t* damaged) {
  *restored = 0;
  std::vector<RecordJournal::Entry> entries;
  std::optional<RecordJournal::InFlight> inFlight;
  std::string error = journal->load(&entries, &inFlight, damaged);
  if (!error.empty()) return error;
  std::vector<Write> taken;
  size_t inBatch = 0;
  for (RecordJournal::Entry& entry : entries) {
    if (inFlight && entry.seq <= inFlight->lastSeq) ++inBatch;
    taken.push_back({internedSql(entry.sql), std::move(entry.bindings), 0, 0, entry.seq});
  }
  // Ahead of this run's writes, numbered again in order.
  for (Write& write : queue_) taken.push_back(std::move(write));
  queue_ = std::move(taken);
  tickets_ = 0;
  for (Write& write : queue_) write.ticket = ++tickets_;
  // Its batch may have been committed with the answer lost: gs_batches
  // tells, under the client id of that run.
  if (inFlight && inBatch > 0) unanswered_ = Unanswered{inFlight->client, inFlight->batch, inBatch};
  *restored = entries.size();
  journal_ = std::move(journal);
  return "";
}

void RecordStore::forEachQueued(
    const char* sql, const std::function<void(const std::vector<DbValue>&)>& visit) const {
  for (const Write& write : queue_) {
    if (write.sql == sql || std::strcmp(write.sql, sql) == 0) visit(write.bindings);
  }
}

const char* RecordStore::internedSql(const std::string& sql) {
  return journalSql_.insert(sql).first->c_str();
}

std::string RecordStore::keepInJournal() {
  if (!journal_) return "";
  // Journaled writes are a prefix of the queue: each keeping takes all the
  // rest, in order.
  auto first = std::find_if(queue_.begin(), queue_.end(),
                            [](const Write& write) { return write.journalSeq == 0; });
  std::vector<RecordJournal::Write> kept;
  for (auto it = first; it != queue_.end(); ++it) kept.push_back({it->sql, &it->bindings});
  std::vector<int64_t> seqs;
  std::string error = journal_->append(kept, &seqs);
  if (!error.empty()) return error;
  for (size_t i = 0; i < seqs.size(); ++i)
    first[static_cast<std::ptrdiff_t>(i)].journalSeq = seqs[i];
  // A batch whose answer is awaited may now hold journaled writes: its mark
  // must cover them, or a restart would send them twice.
  if (unanswered_) {
    int64_t last = lastJournaled(unanswered_->writes);
    if (last != 0) {
      error = journal_->markInFlight({unanswered_->client, unanswered_->batch, last});
    }
  }
  return error;
}

int64_t RecordStore::lastJournaled(size_t writes) const {
  int64_t last = 0;
  for (size_t i = 0; i < writes && i < queue_.size(); ++i) {
    last = std::max(last, queue_[i].journalSeq);
  }
  return last;
}

bool RecordStore::markInJournal(int64_t batch) {
  if (!journal_) return true;
  int64_t last = lastJournaled(queue_.size());
  if (last == 0) return true;
  std::string error = journal_->markInFlight({clientId_, batch, last});
  if (!error.empty()) journalError_ = "cannot mark a batch in " + journal_->path() + ": " + error;
  return error.empty();
}

void RecordStore::written(size_t writes) {
  int64_t last = lastJournaled(writes);
  queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(writes));
  if (journal_ && last != 0) {
    std::string error = journal_->settled(last);
    if (!error.empty()) journalError_ = "cannot clear " + journal_->path() + ": " + error;
  }
}

}  // namespace gsadmin
