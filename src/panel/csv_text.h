#ifndef GSADMIN_PANEL_CSV_TEXT_H_
#define GSADMIN_PANEL_CSV_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

#include "moderation/records.h"

namespace gsadmin {

// One field of a CSV export (RFC 4180): quoted when it holds a comma, a
// quote, a CR or a LF, its quotes doubled. A text that a spreadsheet would
// take as a formula (it starts with =, +, -, @, a tab or a CR) gets a
// leading ' first, so that opening the export runs nothing. `number`
// fields are written as they are.
std::string csvField(std::string_view text);
std::string csvNumber(long long value);

// One record: the fields joined by commas, ended by CRLF.
std::string csvRecord(const std::vector<std::string>& fields);

// The audit's export: the header record, and one record a line.
std::string auditCsvHeader();
std::string auditCsvRecord(const AuditRecord& line);
// The header and every line.
std::string auditCsv(const std::vector<AuditRecord>& lines);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_CSV_TEXT_H_
