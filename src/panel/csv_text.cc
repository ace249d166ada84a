#include "panel/csv_text.h"

namespace gsadmin {

std::string csvField(std::string_view text) {
  std::string field;
  // A spreadsheet evaluates a cell that starts with one of these.
  if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
    field += '\'';
  }
  field += text;
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string csvNumber(long long value) {
  return std::to_string(value);
}

std::string csvRecord(const std::vector<std::string>& fields) {
  std::string record;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) record += ',';
    record += fields[i];
  }
  return record + "\r\n";
}

std::string auditCsvHeader() {
  return csvRecord({"id", "time", "actor", "action", "target", "detail", "server", "sanction"});
}

std::string auditCsvRecord(const AuditRecord& line) {
  return csvRecord({csvNumber(line.id), csvNumber(line.time), csvField(line.actor),
                    csvField(line.action), csvField(line.target), csvField(line.detail),
                    csvField(line.server),
                    line.sanction ? csvNumber(*line.sanction) : std::string()});
}

std::string auditCsv(const std::vector<AuditRecord>& lines) {
  std::string text = auditCsvHeader();
  for (const AuditRecord& line : lines) text += auditCsvRecord(line);
  return text;
}

}  // namespace gsadmin
