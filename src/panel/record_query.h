#ifndef GSADMIN_PANEL_RECORD_QUERY_H_
#define GSADMIN_PANEL_RECORD_QUERY_H_

#include <functional>
#include <optional>
#include <string>

#include "moderation/record_search.h"

namespace gsadmin {

// The query parameters of the bans' and the audit's searches and exports,
// checked: texts of at most kMaxFilterBytes on one line, numbers of
// digits. `param` gives a parameter's value, or nothing when absent.
using ParamLookup = std::function<std::optional<std::string>(const char* key)>;

// What a query asks for, or why it is refused (a 400's reason).
template <typename Filter>
struct RecordQuery {
  Filter filter;
  PageRequest page;
  std::string error;  // empty when sound
};

// Default rows of a page when `limit` is not given.
inline constexpr size_t kDefaultPageRows = 100;

// q (part of the name), state (active, ended or all: the default), actor,
// server; before, limit (1 to kMaxPageRows).
RecordQuery<BanFilter> banQuery(const ParamLookup& param);
// actor, action, target, server, from, to (seconds since the epoch);
// before, limit.
RecordQuery<AuditFilter> auditQuery(const ParamLookup& param);

// An export's rows: up to kMaxExportRows from `before`, whatever `limit`.
template <typename Filter>
RecordQuery<Filter> forExport(RecordQuery<Filter> query) {
  query.page.rows = kMaxExportRows;
  return query;
}

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_RECORD_QUERY_H_
