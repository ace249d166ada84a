#include "app/audit_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "app/records_reader.h"
#include "console/json_log.h"
#include "moderation/audit_chain.h"
#include "moderation/sanction_rows.h"
#include "panel/csv_text.h"
#include "platform/write_all.h"

namespace gsadmin {
namespace {

// Rows read at a time: a million rows are a hundred reads.
constexpr int64_t kPageRows = 10000;

std::optional<std::string> textOrNone(const DbValue& value) {
  if (value.type == DbValue::Type::kNull) return std::nullopt;
  return value.bytes;
}

// Walks the whole chain into `check`; the database's error, or empty.
std::string walk(Database& database, AuditChainCheck& check) {
  int64_t after = 0;
  for (;;) {
    StatementResult rows = database.run(
        "SELECT id, time, actor, action, target, detail, server, sanction, prev, chain"
        " FROM gs_audit"
        " WHERE id > ? ORDER BY id LIMIT ?",
        {DbValue::integer(after), DbValue::integer(kPageRows)});
    if (rows.error) return *rows.error;
    size_t width = rows.columns.size();
    for (size_t row = 0; row < rows.rowCount(); ++row) {
      const DbValue* values = &rows.values[row * width];
      after = values[0].integerValue;
      std::span<const DbValue> content(values + 1, kAuditContentValues);
      if (!check.add(after, textOrNone(values[8]), textOrNone(values[9]), content)) return "";
    }
    if (rows.rowCount() < static_cast<size_t>(kPageRows)) return "";
  }
}

enum class ExportFormat { kJsonLines, kCsv };

std::optional<ExportFormat> exportFormatOf(std::string_view path) {
  if (path.ends_with(".jsonl")) return ExportFormat::kJsonLines;
  if (path.ends_with(".csv")) return ExportFormat::kCsv;
  return std::nullopt;
}

// One line of JSON with the panel's export's keys, in its order (by
// name), written directly: a million lines through a JSON tree take seconds.
void appendJsonLine(const AuditRecord& line, std::string& out) {
  out += "{\"action\":";
  appendJsonString(line.action, out);
  out += ",\"actor\":";
  appendJsonString(line.actor, out);
  out += ",\"detail\":";
  appendJsonString(line.detail, out);
  out += ",\"id\":" + std::to_string(line.id) + ",\"sanction\":";
  out += line.sanction ? std::to_string(*line.sanction) : "null";
  out += ",\"server\":";
  appendJsonString(line.server, out);
  out += ",\"target\":";
  appendJsonString(line.target, out);
  out += ",\"time\":" + std::to_string(line.time) + "}\n";
}

void appendExported(const AuditRecord& line, ExportFormat format, std::string& out) {
  if (format == ExportFormat::kCsv) {
    out += auditCsvRecord(line);
  } else {
    appendJsonLine(line, out);
  }
}

// Every row of gs_audit in the order of their ids into `fd`; the error, or
// empty. *rows counts them.
std::string exportRows(Database& database, ExportFormat format, int fd, uint64_t* rows) {
  if (format == ExportFormat::kCsv && !writeAll(fd, auditCsvHeader())) return std::strerror(errno);
  int64_t after = 0;
  for (;;) {
    StatementResult page =
        database.run("SELECT " AUDIT_COLUMNS " FROM gs_audit WHERE id > ? ORDER BY id LIMIT ?",
                     {DbValue::integer(after), DbValue::integer(kPageRows)});
    if (page.error) return *page.error;
    std::string text;
    for (const AuditRecord& line : auditRows(page)) {
      appendExported(line, format, text);
      after = line.id;
      ++*rows;
    }
    if (!writeAll(fd, text)) return std::strerror(errno);
    if (page.rowCount() < static_cast<size_t>(kPageRows)) return "";
  }
}

int exportAudit(const Options& options, std::FILE* out, std::FILE* err) {
  const std::string& path = *options.exportAudit;
  std::optional<ExportFormat> format = exportFormatOf(path);
  if (!format) {
    std::fprintf(err, "gsadmin: --export-audit: %s: the name ends in .jsonl or .csv\n",
                 path.c_str());
    return 2;
  }
  std::unique_ptr<Database> database = openRecordsReader(options, "--export-audit", err);
  if (!database) return 2;
  // A new file only: an export never writes over another file, nor through a link.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::fprintf(err, "gsadmin: --export-audit: %s: %s\n", path.c_str(), std::strerror(errno));
    return 2;
  }
  uint64_t rows = 0;
  std::string error = exportRows(*database, *format, fd, &rows);
  if (close(fd) != 0 && error.empty()) error = std::strerror(errno);
  if (!error.empty()) {
    std::fprintf(err, "gsadmin: --export-audit: %s: %s\n", path.c_str(), error.c_str());
    return 2;
  }
  std::fprintf(out, "%llu audit rows written to %s\n", static_cast<unsigned long long>(rows),
               path.c_str());
  return 0;
}

}  // namespace

std::optional<int> runAuditCommand(const Options& options, std::FILE* out, std::FILE* err) {
  if (options.exportAudit) return exportAudit(options, out, err);
  if (!options.verifyAudit) return std::nullopt;
  std::unique_ptr<Database> database = openRecordsReader(options, "--verify-audit", err);
  if (!database) return 2;
  AuditChainCheck check;
  std::string error = walk(*database, check);
  if (!error.empty()) {
    std::fprintf(err, "gsadmin: --verify-audit: %s\n", error.c_str());
    return 2;
  }
  if (check.finding().kind != AuditFinding::Kind::kHolds) {
    std::fprintf(out, "%s\n", check.finding().line().c_str());
    return 1;
  }
  std::fprintf(out, "the audit's chain holds: %llu rows",
               static_cast<unsigned long long>(check.chained()));
  if (check.unchained() > 0) {
    std::fprintf(out, ", after %llu rows from before it began",
                 static_cast<unsigned long long>(check.unchained()));
  }
  std::fprintf(out, "\n");
  return 0;
}

}  // namespace gsadmin
