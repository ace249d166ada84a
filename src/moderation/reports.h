#ifndef GSADMIN_MODERATION_REPORTS_H_
#define GSADMIN_MODERATION_REPORTS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "moderation/record_store.h"

namespace gsadmin {

// The states of a report, as stored.
inline constexpr char kReportOpen[] = "open";
inline constexpr char kReportClaimed[] = "claimed";
inline constexpr char kReportClosed[] = "closed";

// A player's report of another, as gs_reports holds it. Times are seconds
// since the epoch.
struct ReportRecord {
  int64_t id = 0;
  int64_t time = 0;
  std::string target;     // the name reported, as it was on the server
  std::string reporter;   // who reported first
  std::string reason;     // the first reporter's
  int64_t reporters = 1;  // the first and those whose reports joined it
  std::string state;      // kReportOpen, kReportClaimed or kReportClosed
  std::string claimedBy;  // empty while nobody claimed it
  // Closed with this sanction; absent: closed with no action, or not closed.
  std::optional<int64_t> sanction;
  std::string note;  // said when closed
  std::optional<int64_t> closed;
  std::string server;
  // The last moment whose records are copied into the evidence; 0 while
  // none are.
  int64_t evidenceTo = 0;
};

// One record of a report's evidence, copied as it was recorded: a chat line
// ("chat": `name` said `text`, to `other` when private) or a kill ("kill":
// `name` killed `other`).
struct EvidenceRecord {
  int64_t time = 0;
  std::string kind;
  std::string name;
  std::string other;
  std::string text;
};

// The players' reports: gs_reports, gs_report_reporters and
// gs_report_evidence. A report holds the chat lines and kills of its two
// players (the reported and the first reporter) from kEvidenceBefore
// seconds before it to kEvidenceAfter after it, copied from the records so
// that their retention does not take them; the copy is made once that span
// has passed (completeDue(), on the loop's clock). A report of the same
// player within kMergeSeconds of an open one joins it: its reporter is
// counted once, and the span reaches kEvidenceAfter past the latest. Loop
// thread only, as the store, which must outlive this object.
class Reports {
 public:
  static constexpr int64_t kEvidenceBefore = 120;
  static constexpr int64_t kEvidenceAfter = 60;
  static constexpr int64_t kMergeSeconds = 300;
  // The most rows of each kind (chat, kills) one copy takes, and the most
  // copies a report gets (one, and one for each report that joins it).
  static constexpr int64_t kMaxEvidenceRows = 200;
  static constexpr int kMaxCopies = 8;
  // The most reports whose evidence waits to be copied; a report past it
  // is kept without evidence.
  static constexpr size_t kMaxPending = 1000;
  // A report whose number cannot be read yet (its row not written) is
  // looked for again this many times, a span apart.
  static constexpr int kMaxLookups = 10;

  explicit Reports(RecordStore& store) : store_(store) {}

  // What file() did: the report's number (0 while its row is not written:
  // a database away), whether it joined one already open, and how many
  // reported it so far.
  struct Filed {
    int64_t id = 0;
    bool joined = false;
    int64_t reporters = 1;
  };
  // Records the report of `target` by `reporter` (names as on the server;
  // reason cut to Sanctions::kMaxReasonBytes) at `now`, its evidence due
  // at `nowMs` + kEvidenceAfter seconds on the loop's clock.
  Filed file(std::string_view target, std::string_view reporter, std::string_view reason,
             int64_t now, uint64_t nowMs);

  // Copies the evidence of the reports whose span has passed at `nowMs`.
  void completeDue(uint64_t nowMs);
  // When the next copy is due; empty when none waits.
  std::optional<uint64_t> nextDueMs() const;
  // Whether the evidence of report `id` still waits to be copied.
  bool collecting(int64_t id) const;

  // reports_reads.cc: the report numbered `id`, or none (none also when
  // it cannot be read).
  std::optional<ReportRecord> find(int64_t id);
  // The open and claimed reports, oldest first, at most `count`; none when
  // they cannot be read.
  std::optional<std::vector<ReportRecord>> unclosed(size_t count);
  // The evidence of report `id` in time order, at most `count` rows.
  std::vector<EvidenceRecord> evidence(int64_t id, size_t count);
  // The names of those who reported `id`, first to last, at most `count`.
  std::vector<std::string> reportersOf(int64_t id, size_t count);

  // Marks report `id` claimed by `by`, or closed at `now` with `sanction`
  // (none: no action) and `note`. The caller has checked its state.
  void claim(int64_t id, std::string_view by);
  void close(int64_t id, std::optional<int64_t> sanction, std::string_view note, int64_t now);

 private:
  // A report whose evidence waits to be copied.
  struct Pending {
    int64_t id = 0;  // 0 until its row is read back
    int64_t time = 0;
    std::string targetKey;
    std::string reporterKey;
    // The span still to be copied, inclusive.
    int64_t from = 0;
    int64_t to = 0;
    uint64_t dueMs = 0;
    int copies = 0;
    int lookups = 0;
  };

  // The number of the report made at `time` by `reporterKey` on
  // `targetKey` here; 0 when it is not written.
  int64_t numberOf(const std::string& targetKey, const std::string& reporterKey, int64_t time);
  // Queues the copies of `pending`'s span; false when its number is not
  // known yet.
  bool copy(Pending& pending);
  void addReporter(int64_t id, int64_t reportTime, const std::string& reporter,
                   const std::string& reason, int64_t now);
  Pending* pendingOf(int64_t id);

  RecordStore& store_;
  std::vector<Pending> pending_;
};

// Refuses a player's second report within `seconds` of the last one: by
// name key, in memory, bounded.
class ReportCooldown {
 public:
  static constexpr size_t kMaxKept = 4096;

  explicit ReportCooldown(int64_t seconds) : seconds_(seconds) {}
  // 0 when `key` may report at `now`, which then counts as its last
  // report; else the seconds left to wait.
  int64_t take(const std::string& key, int64_t now);

 private:
  int64_t seconds_;
  std::unordered_map<std::string, int64_t> last_;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_REPORTS_H_
