// GET /api/reports: the open and claimed reports; GET /api/reports/N: one
// report with its reporters and evidence. The reports' evidence is copied
// on the loop (Reports), so they are read there, as ".reports" reads them.

#include "context/session_context.h"
#include "moderation/listings.h"
#include "moderation/moderation.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

// A report's number: 1 to 18 digits.
constexpr size_t kMaxNumberDigits = 18;

json reportJson(const ReportRecord& report) {
  return {{"id", report.id},
          {"time", report.time},
          {"target", report.target},
          {"reporter", report.reporter},
          {"reason", report.reason},
          {"reporters", report.reporters},
          {"state", report.state},
          {"claimedBy", report.claimedBy},
          {"sanction", orNull(report.sanction)},
          {"note", report.note},
          {"closed", orNull(report.closed)},
          {"server", report.server}};
}

LoopAnswer reportListAnswer(Moderation& moderation) {
  std::optional<std::vector<ReportRecord>> reports = moderation.reports().unclosed(kMaxListed);
  if (!reports) return {503, dump({{"error", "the reports cannot be read"}})};
  json list = json::array();
  for (const ReportRecord& report : *reports) list.push_back(reportJson(report));
  return {200, dump({{"reports", std::move(list)}})};
}

LoopAnswer oneAnswer(Moderation& moderation, int64_t id) {
  Reports& reports = moderation.reports();
  std::optional<ReportRecord> report = reports.find(id);
  if (!report) return {404, dump({{"error", "there is no report #" + std::to_string(id)}})};
  json answer = reportJson(*report);
  answer["reporterNames"] = reports.reportersOf(id, kMaxListed);
  json evidence = json::array();
  for (const EvidenceRecord& record : reports.evidence(id, kMaxEvidenceShown)) {
    evidence.push_back({{"time", record.time},
                        {"kind", record.kind},
                        {"name", record.name},
                        {"other", record.other},
                        {"text", record.text}});
  }
  answer["evidence"] = std::move(evidence);
  answer["collecting"] = reports.collecting(id);
  return {200, dump(answer)};
}

}  // namespace

void addReportRoutes(RouteTable& server, WebContext& context) {
  server.get("/api/reports",
             [&context](const httplib::Request& request, httplib::Response& response) {
               if (!requireReader(context, request, response, "reports")) return;
               SessionContext& session = context.session;
               answerFromLoop(context, response, [&session]() -> LoopAnswer {
                 Moderation* moderation = session.moderation();
                 return moderation ? reportListAnswer(*moderation) : moderationOff();
               });
             });
  server.get(R"(/api/reports/(\d{1,18}))",
             [&context](const httplib::Request& request, httplib::Response& response) {
               if (!requireReader(context, request, response, "report show")) return;
               std::string digits = request.matches[1];
               if (digits.size() > kMaxNumberDigits)
                 return sendError(response, 404, "no such report");
               int64_t id = std::stoll(digits);
               SessionContext& session = context.session;
               answerFromLoop(context, response, [&session, id]() -> LoopAnswer {
                 Moderation* moderation = session.moderation();
                 return moderation ? oneAnswer(*moderation, id) : moderationOff();
               });
             });
}

}  // namespace gsadmin
