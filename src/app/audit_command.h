#ifndef GSADMIN_APP_AUDIT_COMMAND_H_
#define GSADMIN_APP_AUDIT_COMMAND_H_

#include <cstdio>
#include <optional>

#include "app/options.h"

namespace gsadmin {

// With --verify-audit: walks the audit's chain in the records the client
// would keep (SQLite or PostgreSQL alike) and prints on `out` that it holds,
// or the first row changed, removed or inserted. Status 0 when it holds, 1
// when it is broken, 2 when the records cannot be read; nothing without
// --verify-audit.
// With --export-audit=FILE: writes every row of the audit, in the order of
// their ids, to the new FILE as JSON Lines (.jsonl) or CSV (.csv), in the
// panel's export's fields; status 0, or 2 with one line on `err`.
std::optional<int> runAuditCommand(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace gsadmin

#endif  // GSADMIN_APP_AUDIT_COMMAND_H_
