// The records of the sanctions other than the bans in force: warnings, a
// player's history, notes and the audit. Read when asked, never held.

#include <algorithm>
#include <cstdint>

#include "moderation/sanction_rows.h"
#include "moderation/sanctions.h"

namespace gsadmin {
namespace {

DbValue countValue(size_t count) {
  return DbValue::integer(static_cast<int64_t>(std::min<size_t>(count, INT32_MAX)));
}

}  // namespace

std::vector<SanctionRecord> Sanctions::activeWarnings(std::string_view name, int64_t now) {
  return sanctionRows(store_.query("SELECT " SANCTION_COLUMNS
                                   " FROM gs_sanctions WHERE name_key = ? AND kind = 'warn'"
                                   " AND lifted IS NULL AND (until IS NULL OR until > ?)"
                                   " ORDER BY id",
                                   {DbValue::text(nameKey(name)), DbValue::integer(now)}));
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
                      std::string_view detail, int64_t now) {
  store_.queue(
      "INSERT INTO gs_audit (time, actor, action, target, detail, server)"
      " VALUES (?, ?, ?, ?, ?, ?)",
      {DbValue::integer(now), DbValue::text(std::string(actor)), DbValue::text(std::string(action)),
       DbValue::text(std::string(target)), DbValue::text(boundedText(detail, kMaxReasonBytes)),
       DbValue::text(store_.serverName())});
}

std::vector<AuditRecord> Sanctions::lastAudit(size_t count) {
  return auditRows(store_.query("SELECT " AUDIT_COLUMNS " FROM gs_audit ORDER BY id DESC LIMIT ?",
                                {countValue(count)}));
}

}  // namespace gsadmin
