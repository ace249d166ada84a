#ifndef GSADMIN_MODERATION_SANCTION_ROWS_H_
#define GSADMIN_MODERATION_SANCTION_ROWS_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "moderation/records.h"
#include "storage/database.h"

namespace gsadmin {

// The columns every query of whole sanctions selects, in this order.
#define SANCTION_COLUMNS "id, time, name, kind, seconds, until, reason, actor, lifted, server"
// The conditions of a ban in force at the `?` bound to now.
#define BAN_HOLDS                                     \
  "kind IN ('tempban', 'ban') AND lifted IS NULL AND" \
  " (until IS NULL OR until > ?)"

int64_t integerAt(const DbValue& value);
// A count of rows (a LIMIT) as a value to bind, at most INT32_MAX.
DbValue countValue(size_t count);
std::optional<int64_t> optionalAt(const DbValue& value);
// The one statement that records a sanction; its bindings: time, name_key,
// name, kind, seconds, until, reason, actor, server, skeleton.
inline constexpr char kInsertSanction[] =
    "INSERT INTO gs_sanctions (time, name_key, name, kind, seconds, until, reason, actor,"
    " server, skeleton) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

// The sanction a queued kInsertSanction will record; none when its
// bindings are not of that shape.
std::optional<SanctionRecord> unwrittenSanction(const std::vector<DbValue>& bindings);

// The rows of a query of SANCTION_COLUMNS; none on an error.
std::vector<SanctionRecord> sanctionRows(const StatementResult& result);

// The rows of a query of AUDIT_COLUMNS; none on an error.
#define AUDIT_COLUMNS "time, actor, action, target, detail, server, id, sanction"
std::vector<AuditRecord> auditRows(const StatementResult& result);

bool isBan(std::string_view kind);
bool holdsAt(const SanctionRecord& ban, int64_t now);
// True when `a` ends later than `b` (a permanent ban never ends).
bool endsLater(const SanctionRecord& a, const SanctionRecord& b);
// The ban of `bans` that holds longest at `now`, or null.
const SanctionRecord* longestHolding(const std::vector<SanctionRecord>& bans, int64_t now);

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_SANCTION_ROWS_H_
