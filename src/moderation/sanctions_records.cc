// The records of the sanctions other than the bans in force: warnings, a
// player's history, notes and the audit. Read when asked, never held.

#include <algorithm>
#include <cstdint>

#include "moderation/audit_chain.h"
#include "moderation/sanction_rows.h"
#include "moderation/sanctions.h"

namespace gsadmin {
std::vector<SanctionRecord> Sanctions::activeWarnings(std::string_view name, int64_t now) {
  std::string key = nameKey(name);
  StatementResult result = store_.query("SELECT " SANCTION_COLUMNS
                                        " FROM gs_sanctions WHERE name_key = ? AND kind = 'warn'"
                                        " AND lifted IS NULL AND (until IS NULL OR until > ?)"
                                        " ORDER BY id",
                                        {DbValue::text(key), DbValue::integer(now)});
  if (!result.unavailable) {
    std::vector<SanctionRecord> warnings = sanctionRows(result);
    if (lastWarnings_.size() >= kMaxKnownBans) lastWarnings_.clear();
    lastWarnings_[key] = warnings;
    return warnings;
  }
  // Away: the last reading, and what waits to be written after it.
  std::vector<SanctionRecord> warnings;
  auto isActive = [now](const SanctionRecord& w) { return !w.until || *w.until > now; };
  if (auto found = lastWarnings_.find(key); found != lastWarnings_.end()) {
    std::copy_if(found->second.begin(), found->second.end(), std::back_inserter(warnings),
                 isActive);
  }
  store_.forEachQueued(kInsertSanction, [&](const std::vector<DbValue>& bindings) {
    std::optional<SanctionRecord> queued = unwrittenSanction(bindings);
    if (queued && queued->kind == kSanctionWarn && bindings[1].bytes == key && isActive(*queued)) {
      warnings.push_back(std::move(*queued));
    }
  });
  return warnings;
}

std::vector<SanctionRecord> Sanctions::sanctionsOf(std::string_view name, size_t count) {
  return sanctionRows(store_.query("SELECT " SANCTION_COLUMNS
                                   " FROM gs_sanctions WHERE name_key = ? ORDER BY id DESC LIMIT ?",
                                   {DbValue::text(nameKey(name)), countValue(count)}));
}

void Sanctions::addNote(std::string_view name, std::string_view actor, std::string_view text,
                        int64_t now) {
  store_.queue(
      "INSERT INTO gs_notes (time, name_key, name, actor, text, server) VALUES (?, ?, ?, ?, ?, ?)",
      {DbValue::integer(now), DbValue::text(nameKey(name)),
       DbValue::text(boundedText(name, kMaxNameBytes)), DbValue::text(std::string(actor)),
       DbValue::text(boundedText(text, kMaxReasonBytes)), DbValue::text(store_.serverName())});
}

std::vector<NoteRecord> Sanctions::notesOf(std::string_view name, size_t count) {
  StatementResult result = store_.query(
      "SELECT time, name, actor, text FROM gs_notes WHERE name_key = ? ORDER BY id DESC LIMIT ?",
      {DbValue::text(nameKey(name)), countValue(count)});
  std::vector<NoteRecord> notes;
  if (result.error || result.columns.size() != 4) return notes;
  for (size_t row = 0; row < result.rowCount(); ++row) {
    const DbValue* v = &result.values[row * 4];
    notes.push_back(NoteRecord{integerAt(v[0]), v[1].bytes, v[2].bytes, v[3].bytes});
  }
  return notes;
}

void Sanctions::audit(std::string_view actor, std::string_view action, std::string_view target,
                      std::string_view detail, int64_t now, std::optional<int64_t> sanction) {
  store_.queue(
      kInsertAudit,
      {DbValue::integer(now), DbValue::text(std::string(actor)), DbValue::text(std::string(action)),
       DbValue::text(std::string(target)), DbValue::text(boundedText(detail, kMaxReasonBytes)),
       DbValue::text(store_.serverName()),
       sanction ? DbValue::integer(*sanction) : DbValue::null()});
}

void Sanctions::auditLast(std::string_view actor, std::string_view action, std::string_view target,
                          std::string_view detail, int64_t now) {
  if (!last_) return audit(actor, action, target, detail, now);
  store_.queue(
      kInsertAuditOfSanction,
      {DbValue::integer(now), DbValue::text(std::string(actor)), DbValue::text(std::string(action)),
       DbValue::text(std::string(target)), DbValue::text(boundedText(detail, kMaxReasonBytes)),
       DbValue::text(store_.serverName()), DbValue::null(), DbValue::text(last_->key),
       DbValue::text(last_->kind), DbValue::integer(last_->time),
       DbValue::text(store_.serverName())});
}

std::vector<AuditRecord> Sanctions::lastAudit(size_t count) {
  return auditRows(store_.query("SELECT " AUDIT_COLUMNS " FROM gs_audit ORDER BY id DESC LIMIT ?",
                                {countValue(count)}));
}

}  // namespace gsadmin
