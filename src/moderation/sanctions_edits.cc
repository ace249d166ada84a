// Changes to a ban already recorded, named by its number: its reason and
// its length. The rows are changed through the store's queue, after the
// writes queued before them.

#include "moderation/sanction_rows.h"
#include "moderation/sanctions.h"

namespace gsadmin {

std::optional<SanctionRecord> Sanctions::banById(int64_t id) {
  StatementResult result = store_.query(
      "SELECT " SANCTION_COLUMNS " FROM gs_sanctions WHERE id = ? AND kind IN ('tempban', 'ban')",
      {DbValue::integer(id)});
  std::vector<SanctionRecord> rows = sanctionRows(result);
  if (rows.empty()) return std::nullopt;
  return rows.front();
}

std::optional<SanctionRecord> Sanctions::sanctionById(int64_t id) {
  std::vector<SanctionRecord> rows = sanctionRows(store_.query(
      "SELECT " SANCTION_COLUMNS " FROM gs_sanctions WHERE id = ?", {DbValue::integer(id)}));
  if (rows.empty()) return std::nullopt;
  return rows.front();
}

void Sanctions::reword(const SanctionRecord& ban, std::string_view reason) {
  store_.queue("UPDATE gs_sanctions SET reason = ? WHERE id = ?",
               {DbValue::text(boundedText(reason, kMaxReasonBytes)), DbValue::integer(ban.id)});
  // The reason is what a banned player is told: the held copies go, here
  // and at the other clients of a shared database.
  std::string key = nameKey(ban.name);
  forgetKnown(key);
  store_.queueNotice(kBansNotice + key);
}

void Sanctions::relength(const SanctionRecord& ban, int64_t seconds) {
  std::string key = nameKey(ban.name);
  int64_t until = ban.time + seconds;
  store_.queue("UPDATE gs_sanctions SET kind = 'tempban', seconds = ?, until = ? WHERE id = ?",
               {DbValue::integer(seconds), DbValue::integer(until), DbValue::integer(ban.id)});
  // The index only rises: a longer ban raises it, a shorter one leaves a
  // hint that the database then answers.
  raise(key, skeletons_.of(key), until);
  forgetKnown(key);
  store_.queueNotice(kBansNotice + key);
}

}  // namespace gsadmin
