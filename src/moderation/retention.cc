#include "moderation/retention.h"

#include <vector>

#include "base/durations.h"
#include "moderation/record_store.h"

namespace gsadmin {
namespace {

constexpr int64_t kYearSeconds = 365LL * 24 * 3600;

// The rows of one batch go by their id, as both backends' DELETE takes a
// subquery but not a LIMIT of its own. A report's evidence and reporters go
// with it, by the report's time they keep.
struct Purge {
  size_t kind;  // in kRetentionKinds
  const char* sql;
};
const Purge kPurges[] = {
    {0, "DELETE FROM gs_chat WHERE id IN (SELECT id FROM gs_chat WHERE time < ? LIMIT ?)"},
    // joined never follows left_at, so the index on joined serves both.
    {1,
     "DELETE FROM gs_sessions WHERE id IN (SELECT id FROM gs_sessions WHERE joined < ?"
     " AND (left_at IS NULL OR left_at < ?) LIMIT ?)"},
    {2, "DELETE FROM gs_kills WHERE id IN (SELECT id FROM gs_kills WHERE time < ? LIMIT ?)"},
    {3,
     "DELETE FROM gs_report_evidence WHERE id IN (SELECT id FROM gs_report_evidence"
     " WHERE report_time < ? LIMIT ?)"},
    {3,
     "DELETE FROM gs_report_reporters WHERE id IN (SELECT id FROM gs_report_reporters"
     " WHERE report_time < ? LIMIT ?)"},
    {3, "DELETE FROM gs_reports WHERE id IN (SELECT id FROM gs_reports WHERE time < ? LIMIT ?)"},
};
static_assert(std::size(kPurges) == RetentionPurge::kStages);

int64_t RetentionSettings::*const kFields[] = {
    &RetentionSettings::chatSeconds, &RetentionSettings::visitsSeconds,
    &RetentionSettings::killsSeconds, &RetentionSettings::reportsSeconds};

std::optional<int64_t> parseKeepDuration(std::string_view text) {
  if (text == "0") return 0;
  if (text.size() > 1 && text.back() == 'y') {
    int64_t years = 0;
    for (char c : text.substr(0, text.size() - 1)) {
      if (c < '0' || c > '9' || years > kMaxDurationSeconds / kYearSeconds) return std::nullopt;
      years = years * 10 + (c - '0');
    }
    if (years == 0 || years > kMaxDurationSeconds / kYearSeconds) return std::nullopt;
    return years * kYearSeconds;
  }
  return parseDuration(text);
}

bool tableExists(RecordStore& store, const char* table) {
  const char* sql = store.shared()
                        ? "SELECT 1 FROM information_schema.tables WHERE table_name = ?"
                        : "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?";
  StatementResult found = store.query(sql, {DbValue::text(table)});
  return !found.error && found.rowCount() > 0;
}

}  // namespace

std::optional<RetentionSettings> parseRetention(std::string_view list, RetentionSettings base) {
  bool named[std::size(kRetentionKinds)] = {};
  while (!list.empty()) {
    size_t comma = list.find(',');
    std::string_view item = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    size_t colon = item.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::optional<int64_t> seconds = parseKeepDuration(item.substr(colon + 1));
    size_t kind = 0;
    while (kind < std::size(kRetentionKinds) && item.substr(0, colon) != kRetentionKinds[kind]) {
      ++kind;
    }
    if (!seconds || kind == std::size(kRetentionKinds) || named[kind]) return std::nullopt;
    named[kind] = true;
    base.*kFields[kind] = *seconds;
    if (comma != std::string_view::npos && list.empty()) return std::nullopt;  // "chat:1d,"
  }
  return base;
}

void RetentionPurge::start(const RetentionSettings& keep, int64_t now) {
  keep_ = keep;
  now_ = now;
  stage_ = 0;
}

int64_t RetentionPurge::step() {
  while (running()) {
    size_t kind = kPurges[stage_].kind;
    int64_t seconds = keep_.*kFields[kind];
    // Nothing can be older than a span reaching back past the epoch.
    bool kept = seconds <= 0 || seconds > now_;
    if (kept || (kind == 3 && !tableExists(store_, "gs_reports"))) {
      ++stage_;
      continue;
    }
    DbValue cutoff = DbValue::integer(now_ - seconds);
    DbValue batch = DbValue::integer(kPurgeBatchRows);
    std::vector<DbValue> bindings = kind == 1 ? std::vector<DbValue>{cutoff, cutoff, batch}
                                              : std::vector<DbValue>{cutoff, batch};
    StatementResult deleted = store_.query(kPurges[stage_].sql, bindings);
    if (deleted.error) {
      stage_ = kStages;
      return 0;
    }
    if (deleted.changes < kPurgeBatchRows) ++stage_;
    // A kind with nothing to delete costs one indexed look: the next goes
    // in the same slice, so a quiet day's pass wakes the loop once.
    if (deleted.changes > 0) return deleted.changes;
  }
  return 0;
}

}  // namespace gsadmin
