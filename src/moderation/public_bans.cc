// The public ban record: the public columns of the bans, and none other.

#include "moderation/public_bans.h"

#include "moderation/record_store.h"
#include "moderation/sanction_rows.h"

namespace gsadmin {
namespace {

// A lift before the end is the end.
#define PUBLIC_BAN_COLUMNS                                                                     \
  "id, name, kind, reason, time,"                                                              \
  " CASE WHEN lifted IS NOT NULL AND (until IS NULL OR lifted < until) THEN lifted ELSE until" \
  " END, server"
constexpr size_t kPublicBanColumns = 7;

std::optional<std::vector<PublicBan>> publicRows(const StatementResult& result) {
  if (result.error || result.columns.size() != kPublicBanColumns) return std::nullopt;
  std::vector<PublicBan> rows;
  for (size_t row = 0; row < result.rowCount(); ++row) {
    const DbValue* v = &result.values[row * kPublicBanColumns];
    rows.push_back(PublicBan{integerAt(v[0]), v[1].bytes, v[2].bytes, v[3].bytes, integerAt(v[4]),
                             optionalAt(v[5]), v[6].bytes});
  }
  return rows;
}

}  // namespace

std::optional<std::vector<PublicBan>> publicBansOf(Database& database, std::string_view name) {
  return publicRows(database.run(
      "SELECT " PUBLIC_BAN_COLUMNS
      " FROM gs_sanctions WHERE name_key = ? AND kind IN ('tempban', 'ban')"
      " ORDER BY id DESC LIMIT ?",
      {DbValue::text(nameKey(name)), DbValue::integer(static_cast<int64_t>(kMaxPublicBans))}));
}

std::optional<std::vector<PublicBan>> publicBan(Database& database, int64_t id) {
  return publicRows(database.run("SELECT " PUBLIC_BAN_COLUMNS
                                 " FROM gs_sanctions WHERE id = ? AND kind IN ('tempban', 'ban')",
                                 {DbValue::integer(id)}));
}

}  // namespace gsadmin
