// The reports as the listings and the panel read them: read when asked,
// after what is queued is written.

#include <algorithm>

#include "moderation/reports.h"
#include "moderation/sanction_rows.h"

namespace gsadmin {
namespace {

#define REPORT_COLUMNS                                                                        \
  "id, time, target, reporter, reason, reporters, state, claimed_by, sanction, note, closed," \
  " server, evidence_to"
constexpr size_t kReportColumns = 13;

std::vector<ReportRecord> reportRows(const StatementResult& result) {
  std::vector<ReportRecord> rows;
  if (result.error || result.columns.size() != kReportColumns) return rows;
  for (size_t row = 0; row < result.rowCount(); ++row) {
    const DbValue* v = &result.values[row * kReportColumns];
    rows.push_back(ReportRecord{integerAt(v[0]), integerAt(v[1]), v[2].bytes, v[3].bytes,
                                v[4].bytes, integerAt(v[5]), v[6].bytes, v[7].bytes,
                                optionalAt(v[8]), v[9].bytes, optionalAt(v[10]), v[11].bytes,
                                integerAt(v[12])});
  }
  return rows;
}

}  // namespace

std::optional<ReportRecord> Reports::find(int64_t id) {
  std::vector<ReportRecord> rows = reportRows(store_.query(
      "SELECT " REPORT_COLUMNS " FROM gs_reports WHERE id = ?", {DbValue::integer(id)}));
  if (rows.empty()) return std::nullopt;
  return rows.front();
}

std::optional<std::vector<ReportRecord>> Reports::unclosed(size_t count) {
  StatementResult result =
      store_.query("SELECT " REPORT_COLUMNS
                   " FROM gs_reports WHERE state IN ('open', 'claimed') ORDER BY id LIMIT ?",
                   {countValue(count)});
  if (result.error) return std::nullopt;
  return reportRows(result);
}

std::vector<EvidenceRecord> Reports::evidence(int64_t id, size_t count) {
  StatementResult result = store_.query(
      "SELECT time, kind, name, other, text FROM gs_report_evidence WHERE report = ?"
      " ORDER BY time, id LIMIT ?",
      {DbValue::integer(id), countValue(count)});
  std::vector<EvidenceRecord> rows;
  if (result.error || result.columns.size() != 5) return rows;
  for (size_t row = 0; row < result.rowCount(); ++row) {
    const DbValue* v = &result.values[row * 5];
    rows.push_back(EvidenceRecord{integerAt(v[0]), v[1].bytes, v[2].bytes, v[3].bytes, v[4].bytes});
  }
  return rows;
}

std::vector<std::string> Reports::reportersOf(int64_t id, size_t count) {
  StatementResult result =
      store_.query("SELECT reporter FROM gs_report_reporters WHERE report = ? ORDER BY id LIMIT ?",
                   {DbValue::integer(id), countValue(count)});
  std::vector<std::string> names;
  if (result.error || result.columns.size() != 1) return names;
  for (size_t row = 0; row < result.rowCount(); ++row) names.push_back(result.values[row].bytes);
  return names;
}

}  // namespace gsadmin
