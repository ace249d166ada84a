// The panel's searches of the bans and the audit: filtered, newest first,
// a page at a time. Every text is bound, never written into the SQL.

#include <algorithm>

#include "moderation/record_search.h"
#include "moderation/sanction_rows.h"
#include "moderation/sanctions.h"

namespace gsadmin {
namespace {

// The conditions of a search, each a fragment with its `?`s, and what
// they are bound to, in order.
struct Where {
  std::string sql;
  std::vector<DbValue> values;

  void add(const char* condition, std::vector<DbValue> bound) {
    sql += sql.empty() ? " WHERE " : " AND ";
    sql += condition;
    for (DbValue& value : bound) values.push_back(std::move(value));
  }
  // `column`'s lower case holds `part`; nothing for an empty part.
  void contains(const char* condition, const std::string& part) {
    if (!part.empty()) add(condition, {DbValue::text(containsPattern(asciiLowered(part)))});
  }
  void equals(const char* condition, const std::string& whole) {
    if (!whole.empty()) add(condition, {DbValue::text(whole)});
  }
  // The page's rows, and one more to tell whether another page follows.
  std::string page(const PageRequest& request) {
    if (request.before) add("id < ?", {DbValue::integer(*request.before)});
    size_t rows = std::clamp<size_t>(request.rows, 1, kMaxExportRows);
    values.push_back(DbValue::integer(static_cast<int64_t>(rows) + 1));
    return sql + " ORDER BY id DESC LIMIT ?";
  }
};

// Cuts the extra row a page read, and says where the next page starts.
template <typename Record>
RecordPage<Record> pageOf(std::vector<Record> rows, const PageRequest& request) {
  RecordPage<Record> page;
  size_t wanted = std::clamp<size_t>(request.rows, 1, kMaxExportRows);
  if (rows.size() > wanted) {
    rows.resize(wanted);
    page.next = rows.back().id;
  }
  page.rows = std::move(rows);
  return page;
}

}  // namespace

std::string containsPattern(std::string_view text) {
  std::string pattern = "%";
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\') pattern += '\\';
    pattern += c;
  }
  return pattern + "%";
}

std::string asciiLowered(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::optional<RecordPage<SanctionRecord>> Sanctions::searchBans(const BanFilter& filter,
                                                                const PageRequest& request,
                                                                int64_t now) {
  Where where;
  where.add("kind IN ('tempban', 'ban')", {});
  // The name key is in lower case already.
  where.contains("name_key LIKE ? ESCAPE '\\'", filter.name);
  where.contains("lower(actor) LIKE ? ESCAPE '\\'", filter.actor);
  where.equals("server = ?", filter.server);
  if (filter.state == BanState::kActive) {
    where.add("lifted IS NULL AND (until IS NULL OR until > ?)", {DbValue::integer(now)});
  } else if (filter.state == BanState::kEnded) {
    where.add("(lifted IS NOT NULL OR until <= ?)", {DbValue::integer(now)});
  }
  std::string sql = "SELECT " SANCTION_COLUMNS " FROM gs_sanctions" + where.page(request);
  StatementResult result = store_.query(sql.c_str(), where.values);
  if (result.error) return std::nullopt;
  return pageOf(sanctionRows(result), request);
}

std::optional<RecordPage<AuditRecord>> Sanctions::searchAudit(const AuditFilter& filter,
                                                              const PageRequest& request) {
  Where where;
  where.contains("lower(actor) LIKE ? ESCAPE '\\'", filter.actor);
  where.equals("action = ?", filter.action);
  where.contains("lower(target) LIKE ? ESCAPE '\\'", filter.target);
  where.equals("server = ?", filter.server);
  if (filter.from) where.add("time >= ?", {DbValue::integer(*filter.from)});
  if (filter.to) where.add("time < ?", {DbValue::integer(*filter.to)});
  std::string sql = "SELECT " AUDIT_COLUMNS " FROM gs_audit" + where.page(request);
  StatementResult result = store_.query(sql.c_str(), where.values);
  if (result.error) return std::nullopt;
  return pageOf(auditRows(result), request);
}

}  // namespace gsadmin
