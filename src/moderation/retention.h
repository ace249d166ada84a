#ifndef GSADMIN_MODERATION_RETENTION_H_
#define GSADMIN_MODERATION_RETENTION_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "context/session_settings.h"

namespace gsadmin {

class RecordStore;

// The kinds --keep names, in its order.
inline constexpr const char* kRetentionKinds[] = {"chat", "visits", "kills", "reports"};

// `base` with the kinds of a --keep list changed: "chat:90d,kills:30d,
// reports:1y", each KIND:DURATION (durations as parseDuration reads them,
// and NUMBERy for years of 365 days; 0 keeps the kind for good). Nothing
// for an unknown kind (the audit and the sanctions among them: they are
// kept for good), a kind named twice, or a bad duration.
std::optional<RetentionSettings> parseRetention(std::string_view list, RetentionSettings base);

// The daily purge of old records, in slices: each step deletes at most
// kPurgeBatchRows rows of one kind and returns, so the loop (and the ban
// check at a join) never waits for millions of rows. The reports kind is
// purged where a gs_reports table exists.
class RetentionPurge {
 public:
  static constexpr int64_t kPurgeBatchRows = 1000;

  explicit RetentionPurge(RecordStore& store) : store_(store) {}

  // Begins a pass deleting what `keep` no longer keeps at `now` (seconds).
  void start(const RetentionSettings& keep, int64_t now);
  // Whether a pass has rows left to go through.
  bool running() const { return stage_ < kStages; }
  // The statements of a pass: one a kind, the reports' evidence and
  // reporters before the reports.
  static constexpr size_t kStages = std::size(kRetentionKinds) + 2;
  // One slice of the pass: deletes at most one batch of rows of the first
  // kind that has any left; the rows deleted. A kind is done when its
  // slice deletes fewer than a batch; an error ends the pass (the next
  // day's tries again).
  int64_t step();

 private:
  RecordStore& store_;
  RetentionSettings keep_;
  int64_t now_ = 0;
  size_t stage_ = kStages;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_RETENTION_H_
