#ifndef GSADMIN_MODERATION_SCHEMA_H_
#define GSADMIN_MODERATION_SCHEMA_H_

#include <string>
#include <vector>

#include "storage/database.h"

namespace gsadmin {

// The version of the moderation tables this client writes; kept in
// gs_schema. Version 2 added the server column to every record, the
// player's last server, gs_kills and gs_batches; version 3 the bans'
// skeleton column and its index; version 4 the audit's sanction column and
// links (prev, chain) and the players' reports (gs_reports,
// gs_report_reporters, gs_report_evidence); version 5 the banned players'
// appeals (gs_appeals); version 6 the fleet's servers, their players online
// and the acts asked of one another (gs_servers, gs_online, gs_requests).
inline constexpr int kModerationSchemaVersion = 6;

// Creates gs_schema when it is missing; run before anything else, so that
// the version is read before any other table is touched.
std::string schemaVersionTable(SqlDialect dialect);

// The statements that create the moderation tables and their indexes when
// they are missing, in order, for `dialect`. The tables are documented
// for scripts to read (docs/moderation.md); their names start with "gs_"
// so that they never meet a script's own.
std::vector<std::string> moderationSchema(SqlDialect dialect);

// The statements that bring tables of `version` (1 up to the current one
// less one) to the current version; they run before moderationSchema(),
// in the same transaction.
std::vector<std::string> moderationUpgrade(int version);

// Computes the skeleton of every ban that has none (tables upgraded from
// version 2 or older), in the open transaction of the upgrade, a page at a
// time; the failed statement, or an empty result. Once, at the upgrade:
// it takes a few seconds for a million bans.
StatementResult fillBanSkeletons(Database& database);

// A constant of the client's: the key of the lock two clients of one
// PostgreSQL database take around creating or upgrading the tables.
inline constexpr long long kSchemaLockKey = 0x67736164'6d696e31LL;

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_SCHEMA_H_
