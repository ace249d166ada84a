#include "panel/metrics_text.h"

#include <sys/stat.h>

#include <cstdio>

#include "panel/web_context.h"

namespace gsadmin {
namespace {

void family(std::string& text, const char* name, const char* type, const char* help) {
  text += std::string("# HELP ") + name + " " + help + "\n";
  text += std::string("# TYPE ") + name + " " + type + "\n";
}

void sample(std::string& text, const std::string& name, uint64_t value) {
  text += name + " " + std::to_string(value) + "\n";
}

void handlerHistogram(std::string& text, const LoopCounters& counters) {
  family(text, "gsadmin_handler_seconds", "histogram",
         "Time to handle one datagram, its scripts' handlers included.");
  uint64_t cumulative = 0;
  for (size_t i = 0; i < LoopCounters::kHandlerBoundsUs.size(); ++i) {
    cumulative += counters.handlerBuckets[i];
    char bound[32];
    std::snprintf(bound, sizeof bound, "%g",
                  static_cast<double>(LoopCounters::kHandlerBoundsUs[i]) / 1e6);
    sample(text, std::string("gsadmin_handler_seconds_bucket{le=\"") + bound + "\"}", cumulative);
  }
  sample(text, "gsadmin_handler_seconds_bucket{le=\"+Inf\"}", counters.handlerCount);
  char sum[48];
  std::snprintf(sum, sizeof sum, "%.6f", static_cast<double>(counters.handlerTotalUs) / 1e6);
  text += std::string("gsadmin_handler_seconds_sum ") + sum + "\n";
  sample(text, "gsadmin_handler_seconds_count", counters.handlerCount);
}

}  // namespace

std::string metricsText(const Snapshot& snapshot, uint64_t nowMs,
                        std::optional<uint64_t> databaseBytes) {
  const LoopCounters& counters = snapshot.counters;
  std::string text;
  family(text, "gsadmin_players_online", "gauge", "Players on the server.");
  sample(text, "gsadmin_players_online", snapshot.players.size());
  family(text, "gsadmin_connected", "gauge", "1 while logged in to the server.");
  sample(text, "gsadmin_connected", snapshot.server.connected ? 1 : 0);
  family(text, "gsadmin_last_datagram_age_seconds", "gauge",
         "Seconds since the last datagram from the server (absent before the first).");
  if (snapshot.lastDatagramMs) {
    uint64_t last = *snapshot.lastDatagramMs;
    sample(text, "gsadmin_last_datagram_age_seconds", nowMs > last ? (nowMs - last) / 1000 : 0);
  }
  family(text, "gsadmin_datagrams_received_total", "counter", "Datagrams by message type.");
  for (size_t type = 0; type < counters.datagramsByType.size(); ++type) {
    if (counters.datagramsByType[type] == 0) continue;
    sample(text, "gsadmin_datagrams_received_total{type=\"" + std::to_string(type) + "\"}",
           counters.datagramsByType[type]);
  }
  family(text, "gsadmin_oversize_datagrams_total", "counter", "Datagrams too long to handle.");
  sample(text, "gsadmin_oversize_datagrams_total", counters.oversizeDatagrams);
  family(text, "gsadmin_events_total", "counter", "Script events fired, by name.");
  for (size_t i = 0; i < counters.eventsFired.size(); ++i) {
    sample(text, "gsadmin_events_total{event=\"" + std::string(kEventTable[i].name) + "\"}",
           counters.eventsFired[i]);
  }
  family(text, "gsadmin_script_errors_total", "counter", "Errors raised in script calls.");
  sample(text, "gsadmin_script_errors_total", counters.scriptErrors);
  handlerHistogram(text, counters);
  family(text, "gsadmin_timers", "gauge", "Script timers pending.");
  sample(text, "gsadmin_timers", snapshot.timers);
  family(text, "gsadmin_database_bytes", "gauge", "Size of the database file.");
  if (databaseBytes) sample(text, "gsadmin_database_bytes", *databaseBytes);
  family(text, "gsadmin_uptime_seconds", "gauge", "Seconds since the client started.");
  sample(text, "gsadmin_uptime_seconds", snapshot.uptimeMs / 1000);
  return text;
}

void addMetricsRoute(httplib::Server& server, WebContext& context) {
  server.Get("/metrics", [&context](const httplib::Request&, httplib::Response& response) {
    std::shared_ptr<const Snapshot> snapshot = context.board.latest();
    std::optional<uint64_t> bytes;
    struct stat status {};
    if (!snapshot->databasePath.empty() && stat(snapshot->databasePath.c_str(), &status) == 0) {
      bytes = static_cast<uint64_t>(status.st_size);
    }
    response.set_content(metricsText(*snapshot, context.clock.nowMs(), bytes),
                         "text/plain; version=0.0.4");
  });
}

}  // namespace gsadmin
