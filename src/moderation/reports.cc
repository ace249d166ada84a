// Filing reports, joining a second report to an open one, and copying
// their evidence once its span has passed.

#include "moderation/reports.h"

#include <algorithm>

#include "moderation/sanction_rows.h"
#include "moderation/sanctions.h"

namespace gsadmin {
namespace {

constexpr uint64_t kMsPerSecond = 1000;

}  // namespace

Reports::Filed Reports::file(std::string_view target, std::string_view reporter,
                             std::string_view reason, int64_t now, uint64_t nowMs) {
  std::string targetKey = nameKey(target);
  std::string reporterKey = nameKey(reporter);
  std::string shownReporter = boundedText(reporter, kMaxNameBytes);
  std::string kept = boundedText(reason, Sanctions::kMaxReasonBytes);
  // The query writes what is queued first: a report made a moment ago is
  // found.
  StatementResult open = store_.query(
      "SELECT id, time FROM gs_reports WHERE target_key = ? AND time >= ? AND state <> 'closed'"
      " AND server = ? ORDER BY id DESC LIMIT 1",
      {DbValue::text(targetKey), DbValue::integer(now - kMergeSeconds),
       DbValue::text(store_.serverName())});
  if (!open.error && open.rowCount() == 1 && open.columns.size() == 2) {
    int64_t id = integerAt(open.values[0]);
    addReporter(id, integerAt(open.values[1]), shownReporter, kept, now);
    store_.queue(
        "UPDATE gs_reports SET reporters = (SELECT count(*) FROM gs_report_reporters WHERE"
        " report = ?) WHERE id = ?",
        {DbValue::integer(id), DbValue::integer(id)});
    // The span reaches past the latest report; what was copied stays.
    if (Pending* pending = pendingOf(id)) {
      pending->to = now + kEvidenceAfter;
      pending->dueMs = nowMs + kEvidenceAfter * kMsPerSecond;
    } else if (std::optional<ReportRecord> report = find(id)) {
      if (pending_.size() < kMaxPending && report->evidenceTo > 0) {
        pending_.push_back(Pending{id, report->time, nameKey(report->target),
                                   nameKey(report->reporter), report->evidenceTo + 1,
                                   now + kEvidenceAfter, nowMs + kEvidenceAfter * kMsPerSecond, 1,
                                   0});
      }
    }
    std::optional<ReportRecord> joined = find(id);
    return Filed{id, true, joined ? joined->reporters : 2};
  }
  store_.queue(
      "INSERT INTO gs_reports (time, target_key, target, reporter_key, reporter, reason, server)"
      " VALUES (?, ?, ?, ?, ?, ?, ?)",
      {DbValue::integer(now), DbValue::text(targetKey),
       DbValue::text(boundedText(target, kMaxNameBytes)), DbValue::text(reporterKey),
       DbValue::text(shownReporter), DbValue::text(kept), DbValue::text(store_.serverName())});
  int64_t id = numberOf(targetKey, reporterKey, now);
  // By the report's own columns, so that it lands where it belongs even
  // when its number is not known yet.
  store_.queue(
      "INSERT INTO gs_report_reporters (report, report_time, time, reporter_key, reporter, reason)"
      " VALUES ((SELECT max(id) FROM gs_reports WHERE target_key = ? AND reporter_key = ? AND"
      " time = ? AND server = ?), ?, ?, ?, ?, ?)",
      {DbValue::text(targetKey), DbValue::text(reporterKey), DbValue::integer(now),
       DbValue::text(store_.serverName()), DbValue::integer(now), DbValue::integer(now),
       DbValue::text(reporterKey), DbValue::text(shownReporter), DbValue::text(kept)});
  if (pending_.size() < kMaxPending) {
    pending_.push_back(Pending{id, now, targetKey, reporterKey, now - kEvidenceBefore,
                               now + kEvidenceAfter, nowMs + kEvidenceAfter * kMsPerSecond, 0, 0});
  }
  return Filed{id, false, 1};
}

void Reports::addReporter(int64_t id, int64_t reportTime, const std::string& reporter,
                          const std::string& reason, int64_t now) {
  // Once a reporter: a second report by the same name is not counted.
  store_.queue(
      "INSERT INTO gs_report_reporters (report, report_time, time, reporter_key, reporter, reason)"
      " VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING",
      {DbValue::integer(id), DbValue::integer(reportTime), DbValue::integer(now),
       DbValue::text(nameKey(reporter)), DbValue::text(reporter), DbValue::text(reason)});
}

int64_t Reports::numberOf(const std::string& targetKey, const std::string& reporterKey,
                          int64_t time) {
  uint64_t ticket = store_.lastTicket();
  StatementResult result = store_.query(
      "SELECT max(id) FROM gs_reports WHERE target_key = ? AND reporter_key = ? AND time = ?"
      " AND server = ?",
      {DbValue::text(targetKey), DbValue::text(reporterKey), DbValue::integer(time),
       DbValue::text(store_.serverName())});
  if (result.error || result.rowCount() != 1 || store_.waiting(ticket)) return 0;
  return integerAt(result.values[0]);
}

Reports::Pending* Reports::pendingOf(int64_t id) {
  auto found = std::find_if(pending_.begin(), pending_.end(),
                            [id](const Pending& pending) { return pending.id == id; });
  return found == pending_.end() ? nullptr : &*found;
}

bool Reports::collecting(int64_t id) const {
  return std::any_of(pending_.begin(), pending_.end(),
                     [id](const Pending& pending) { return pending.id == id; });
}

std::optional<uint64_t> Reports::nextDueMs() const {
  std::optional<uint64_t> next;
  for (const Pending& pending : pending_) {
    if (!next || pending.dueMs < *next) next = pending.dueMs;
  }
  return next;
}

void Reports::completeDue(uint64_t nowMs) {
  for (Pending& pending : pending_) {
    if (pending.dueMs > nowMs) continue;
    if (pending.id == 0)
      pending.id = numberOf(pending.targetKey, pending.reporterKey, pending.time);
    if (pending.id != 0 && copy(pending)) {
      pending.dueMs = 0;  // done
      continue;
    }
    // Not written yet (a database away): looked for again a span later.
    ++pending.lookups;
    pending.dueMs = nowMs + kEvidenceAfter * kMsPerSecond;
  }
  std::erase_if(pending_, [](const Pending& pending) {
    return pending.dueMs == 0 || pending.lookups >= kMaxLookups;
  });
}

bool Reports::copy(Pending& pending) {
  if (pending.copies >= kMaxCopies || pending.from > pending.to) return true;
  DbValue id = DbValue::integer(pending.id);
  DbValue reportTime = DbValue::integer(pending.time);
  DbValue from = DbValue::integer(pending.from);
  DbValue to = DbValue::integer(pending.to);
  DbValue server = DbValue::text(store_.serverName());
  DbValue target = DbValue::text(pending.targetKey);
  DbValue reporter = DbValue::text(pending.reporterKey);
  DbValue limit = DbValue::integer(kMaxEvidenceRows);
  // Past the bound, the lines nearest the report are kept, not the oldest.
  store_.queue(
      "INSERT INTO gs_report_evidence (report, report_time, time, kind, name, other, text)"
      " SELECT ?, ?, time, 'chat', name, COALESCE(recipient, ''), text FROM gs_chat"
      " WHERE name_key IN (?, ?) AND time >= ? AND time <= ? AND server = ?"
      " ORDER BY abs(time - ?), id LIMIT ?",
      {id, reportTime, target, reporter, from, to, server, reportTime, limit});
  // Kills keep names as shown: compared in lower case, as name keys are.
  store_.queue(
      "INSERT INTO gs_report_evidence (report, report_time, time, kind, name, other, text)"
      " SELECT ?, ?, time, 'kill', killer, victim, '' FROM gs_kills WHERE time >= ? AND"
      " time <= ? AND server = ? AND (lower(killer) IN (?, ?) OR lower(victim) IN (?, ?))"
      " ORDER BY abs(time - ?), id LIMIT ?",
      {id, reportTime, from, to, server, target, reporter, target, reporter, reportTime, limit});
  store_.queue("UPDATE gs_reports SET evidence_to = ? WHERE id = ? AND evidence_to < ?",
               {to, id, to});
  ++pending.copies;
  return true;
}

void Reports::claim(int64_t id, std::string_view by) {
  store_.queue("UPDATE gs_reports SET state = 'claimed', claimed_by = ? WHERE id = ?",
               {DbValue::text(boundedText(by, kMaxNameBytes)), DbValue::integer(id)});
}

void Reports::close(int64_t id, std::optional<int64_t> sanction, std::string_view note,
                    int64_t now) {
  store_.queue(
      "UPDATE gs_reports SET state = 'closed', sanction = ?, note = ?, closed = ? WHERE id = ?",
      {sanction ? DbValue::integer(*sanction) : DbValue::null(),
       DbValue::text(boundedText(note, Sanctions::kMaxReasonBytes)), DbValue::integer(now),
       DbValue::integer(id)});
}

int64_t ReportCooldown::take(const std::string& key, int64_t now) {
  auto found = last_.find(key);
  if (found != last_.end() && now < found->second + seconds_) {
    return found->second + seconds_ - now;
  }
  if (found == last_.end() && last_.size() >= kMaxKept) {
    // Those whose wait is over are of no use; a table still full of
    // waiting names (no server has so many players) starts over.
    std::erase_if(last_, [&](const auto& entry) { return now >= entry.second + seconds_; });
    if (last_.size() >= kMaxKept) last_.clear();
  }
  last_[key] = now;
  return 0;
}

}  // namespace gsadmin
