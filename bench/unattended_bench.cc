#include "unattended_bench.h"

#include <cstdio>

#include "json_log_bench.h"
#include "outage_bench.h"
#include "reconnect_bench.h"
#include "record_bytes_bench.h"

namespace gsadmin::bench {
namespace {

void append(std::vector<ResultRow>& rows, const std::vector<ResultRow>& more) {
  rows.insert(rows.end(), more.begin(), more.end());
}

}  // namespace

std::vector<ResultRow> unattendedRows(const Options& options) {
  std::vector<ResultRow> rows = reconnectRows(options.beforeBinary);
  if (options.outageSeconds > 0)
    append(rows, outageRows(options.outageSeconds, options.outages, options.beforeBinary));
  append(rows, recordBytesRows());
  append(rows, jsonLogRows());
  return rows;
}

std::optional<int> runUnattendedPart(const Options& options) {
  std::vector<ResultRow> rows;
  if (options.unattendedOnly) {
    rows = unattendedRows(options);
  } else if (options.reconnectOnly) {
    rows = reconnectRows(options.beforeBinary);
  } else if (options.outageOnly) {
    rows = outageRows(options.outageSeconds > 0 ? options.outageSeconds : 60, options.outages,
                      options.beforeBinary);
  } else if (options.recordBytesOnly) {
    rows = recordBytesRows();
  } else if (options.jsonLogOnly) {
    rows = jsonLogRows();
  } else {
    return std::nullopt;
  }
  std::printf("%s", formatTable(rows).c_str());
  return 0;
}

std::string unattendedNotes() {
  return std::string(kReconnectNotes) + kOutageNotes + kRecordBytesNotes + kJsonLogNotes;
}

}  // namespace gsadmin::bench
