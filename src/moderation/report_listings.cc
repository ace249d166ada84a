// The reports as the console lists them.

#include <algorithm>
#include <cstdio>

#include "base/durations.h"
#include "console/printable.h"
#include "moderation/listings.h"
#include "moderation/moderation.h"

namespace gsadmin {
namespace {

// "12:00:05": the moment's time of day, to the second, for the evidence.
std::string timeOfDay(int64_t time) {
  int64_t seconds = ((time % 86400) + 86400) % 86400;
  char text[16];
  snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
           static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

std::string stateText(const ReportRecord& report) {
  if (report.state == kReportClaimed) return "claimed by " + printable(report.claimedBy);
  if (report.state == kReportClosed) {
    std::string text = report.sanction ? "closed with sanction #" + std::to_string(*report.sanction)
                                       : std::string("closed with no action");
    return report.note.empty() ? text : text + ": " + printable(report.note);
  }
  return printable(report.state);
}

std::string reportLine(const ReportRecord& report) {
  std::string more =
      report.reporters > 1 ? " (+" + std::to_string(report.reporters - 1) + " more)" : "";
  return "#" + std::to_string(report.id) + " " + printable(report.target) + " by " +
         printable(report.reporter) + more + " " + printable(report.reason) + ", " +
         stateText(report);
}

std::string evidenceLine(const EvidenceRecord& record) {
  std::string when = timeOfDay(record.time) + " ";
  if (record.kind == "kill") {
    return when + printable(record.name) + " killed " + printable(record.other);
  }
  std::string to = record.other.empty() ? "" : " to " + printable(record.other);
  return when + printable(record.name) + to + ": " + printable(record.text);
}

}  // namespace

std::vector<std::string> reportLines(Moderation& moderation) {
  std::optional<std::vector<ReportRecord>> reports = moderation.reports().unclosed(kMaxListed);
  if (!reports) return {"the reports cannot be read"};
  std::vector<std::string> lines;
  for (const ReportRecord& report : *reports) lines.push_back(reportLine(report));
  if (lines.empty()) lines.emplace_back("no open reports");
  return lines;
}

std::vector<std::string> reportShowLines(Moderation& moderation, int64_t id) {
  Reports& reports = moderation.reports();
  std::optional<ReportRecord> report = reports.find(id);
  if (!report) return {"there is no report #" + std::to_string(id)};
  std::vector<std::string> lines = {reportLine(*report)};
  std::string where = report->server.empty() ? "" : " on " + printable(report->server);
  lines.push_back("made " + formatUtcTime(report->time) + where);
  std::string names;
  for (const std::string& name : reports.reportersOf(id, kMaxListed)) {
    names += (names.empty() ? "" : ", ") + printable(name);
  }
  lines.push_back("reported by " + names);
  std::vector<EvidenceRecord> evidence = reports.evidence(id, kMaxEvidenceShown);
  std::string span =
      timeOfDay(report->time - Reports::kEvidenceBefore) + " to " +
      timeOfDay(std::max(report->evidenceTo, report->time + Reports::kEvidenceAfter)) + " UTC";
  lines.push_back("evidence, " + span + ": " + std::to_string(evidence.size()) + " records" +
                  (reports.collecting(id) ? ", still collected" : ""));
  for (const EvidenceRecord& record : evidence) lines.push_back(evidenceLine(record));
  return lines;
}

}  // namespace gsadmin
