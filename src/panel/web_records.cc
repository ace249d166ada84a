// The bans' and the audit's searches and exports: filtered, a page at a
// time, read off the loop as every read of the records.

#include "panel/csv_text.h"
#include "panel/record_query.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

enum class Format { kPage, kJson, kCsv };

std::string optionalField(const std::optional<int64_t>& value) {
  return value ? csvNumber(*value) : std::string();
}

std::string bansCsv(const std::vector<SanctionRecord>& bans) {
  std::string text = csvRecord(
      {"id", "time", "name", "kind", "seconds", "until", "lifted", "reason", "actor", "server"});
  for (const SanctionRecord& ban : bans) {
    text +=
        csvRecord({csvNumber(ban.id), csvNumber(ban.time), csvField(ban.name), csvField(ban.kind),
                   csvNumber(ban.seconds), optionalField(ban.until), optionalField(ban.lifted),
                   csvField(ban.reason), csvField(ban.actor), csvField(ban.server)});
  }
  return text;
}

// A page as {"<key>": [...], "next": ID or null}, or an export of its rows
// alone; an export cut at kMaxExportRows says where the rest begins in
// the header X-Next-Before.
template <typename Record, typename ToJson, typename ToCsv>
ReadAnswer pageAnswer(const RecordPage<Record>& page, Format format, const char* key, ToJson toJson,
                      ToCsv toCsv) {
  ReadAnswer answer;
  if (format == Format::kPage) {
    answer.body = dump({{key, toJson(page.rows)},
                        {"next", page.next ? nlohmann::json(*page.next) : nlohmann::json()}});
    return answer;
  }
  answer.attachment = std::string(key) + (format == Format::kCsv ? ".csv" : ".json");
  if (page.next) answer.nextBefore = page.next;
  if (format == Format::kJson) {
    answer.body = dump(toJson(page.rows));
  } else {
    answer.body = toCsv(page.rows);
    answer.contentType = "text/csv; charset=utf-8";
  }
  return answer;
}

// The format an export asks for; none after a 400.
std::optional<Format> exportFormat(const httplib::Request& request, httplib::Response& response) {
  std::string format = request.get_param_value("format");
  if (format.empty() || format == "json") return Format::kJson;
  if (format == "csv") return Format::kCsv;
  sendError(response, 400, "format is csv or json");
  return std::nullopt;
}

ParamLookup lookupIn(const httplib::Request& request) {
  return [&request](const char* key) -> std::optional<std::string> {
    if (!request.has_param(key)) return std::nullopt;
    return request.get_param_value(key);
  };
}

void bansRoute(RouteTable& server, WebContext& context, const char* path, bool exported) {
  server.get(
      path, [&context, exported](const httplib::Request& request, httplib::Response& response) {
        std::optional<WebLogin> login = requireReader(context, request, response, "bans");
        if (!login) return;
        std::optional<Format> format = exported ? exportFormat(request, response) : Format::kPage;
        if (!format) return;
        RecordQuery<BanFilter> query = banQuery(lookupIn(request));
        if (!query.error.empty()) return sendError(response, 400, query.error);
        if (exported) query = forExport(std::move(query));
        answerFromReader(context, *login, response, Freshness::kLatest,
                         [&context, query, shape = *format](ReadTools& tools) -> ReadAnswer {
                           auto page = tools.sanctions.searchBans(query.filter, query.page,
                                                                  context.clock.wallSeconds());
                           if (!page) return {503, dump({{"error", "the bans cannot be read"}})};
                           return pageAnswer(*page, shape, "bans", sanctionsJson, bansCsv);
                         });
      });
}

void auditRoute(RouteTable& server, WebContext& context, const char* path, bool exported) {
  server.get(
      path, [&context, exported](const httplib::Request& request, httplib::Response& response) {
        std::optional<WebLogin> login = requireReader(context, request, response, "audit");
        if (!login) return;
        std::optional<Format> format = exported ? exportFormat(request, response) : Format::kPage;
        if (!format) return;
        RecordQuery<AuditFilter> query = auditQuery(lookupIn(request));
        if (!query.error.empty()) return sendError(response, 400, query.error);
        if (exported) query = forExport(std::move(query));
        answerFromReader(context, *login, response, Freshness::kLatest,
                         [query, shape = *format](ReadTools& tools) -> ReadAnswer {
                           auto page = tools.sanctions.searchAudit(query.filter, query.page);
                           if (!page) return {503, dump({{"error", "the audit cannot be read"}})};
                           return pageAnswer(*page, shape, "audit", auditJson, auditCsv);
                         });
      });
}

}  // namespace

void addRecordRoutes(RouteTable& server, WebContext& context) {
  bansRoute(server, context, "/api/bans/search", false);
  bansRoute(server, context, "/api/bans/export", true);
  auditRoute(server, context, "/api/audit/search", false);
  auditRoute(server, context, "/api/audit/export", true);
}

}  // namespace gsadmin
