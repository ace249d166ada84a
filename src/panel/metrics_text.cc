#include "panel/metrics_text.h"

#include <sys/stat.h>

#include <cstdio>
#include <map>

#include "panel/metrics_labels.h"
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

// A family of counts by one label, each value escaped and cut; values
// that the cut makes alike are counted together.
void labelled(std::string& text, const std::string& name, const char* label,
              const std::map<std::string, uint64_t>& counts) {
  std::map<std::string, uint64_t> merged;
  for (const auto& [value, count] : counts) merged[labelValue(value)] += count;
  for (const auto& [value, count] : merged) {
    sample(text, name + "{" + label + "=\"" + value + "\"}", count);
  }
}

void datagramFamilies(std::string& text, const Snapshot& snapshot) {
  const LoopCounters& counters = snapshot.counters;
  family(text, "gsadmin_datagrams_received_total", "counter",
         "Datagrams by message type; ids of no message the client knows are \"unknown\".");
  std::map<std::string, uint64_t> byName;
  for (size_t type = 0; type < counters.datagramsByType.size(); ++type) {
    if (counters.datagramsByType[type] == 0) continue;
    const char* name = snapshot.datagramNames ? (*snapshot.datagramNames)[type] : nullptr;
    byName[name ? name : "unknown"] += counters.datagramsByType[type];
  }
  labelled(text, "gsadmin_datagrams_received_total", "type", byName);
  family(text, "gsadmin_oversize_datagrams_total", "counter", "Datagrams too long to handle.");
  sample(text, "gsadmin_oversize_datagrams_total", counters.oversizeDatagrams);
}

void scriptFamilies(std::string& text, const Snapshot& snapshot) {
  const LoopCounters& counters = snapshot.counters;
  family(text, "gsadmin_events_total", "counter", "Script events fired, by name.");
  for (size_t i = 0; i < counters.eventsFired.size(); ++i) {
    sample(text, "gsadmin_events_total{event=\"" + std::string(kEventTable[i].name) + "\"}",
           counters.eventsFired[i]);
  }
  family(text, "gsadmin_script_errors_total", "counter",
         "Errors raised in script calls, by script.");
  labelled(text, "gsadmin_script_errors_total", "script", counters.scriptErrors);
  family(text, "gsadmin_moderation_acts_total", "counter",
         "Admin acts carried out (not the reads), by act and door.");
  for (const Commands::Tally& tally : counters.acts) {
    sample(text,
           std::string("gsadmin_moderation_acts_total{kind=\"") + labelValue(tally.act) +
               "\",door=\"" + tally.door + "\"}",
           tally.count);
  }
  family(text, "gsadmin_timers", "gauge", "Script timers pending.");
  sample(text, "gsadmin_timers", snapshot.timers);
}

void databaseFamilies(std::string& text, const Snapshot& snapshot,
                      std::optional<uint64_t> databaseBytes) {
  family(text, "gsadmin_database_bytes", "gauge", "Size of the database file.");
  if (databaseBytes) sample(text, "gsadmin_database_bytes", *databaseBytes);
  family(text, "gsadmin_database_connected", "gauge",
         "1 while the PostgreSQL server is reached (absent for a file).");
  family(text, "gsadmin_database_queued_records", "gauge",
         "Records waiting to be written to the PostgreSQL server (absent for a file).");
  if (snapshot.database) {
    sample(text, "gsadmin_database_connected", snapshot.database->connected ? 1 : 0);
    sample(text, "gsadmin_database_queued_records", snapshot.database->queuedRecords);
  }
}

}  // namespace

std::string metricsText(const Snapshot& snapshot, uint64_t nowMs,
                        std::optional<uint64_t> databaseBytes) {
  std::string text;
  family(text, "gsadmin_build_info", "gauge", "1, labelled with the version and --server-name.");
  sample(text,
         "gsadmin_build_info{version=\"" + labelValue(snapshot.version) + "\",server=\"" +
             labelValue(snapshot.serverName) + "\"}",
         1);
  family(text, "gsadmin_players_online", "gauge", "Players on the server.");
  sample(text, "gsadmin_players_online", snapshot.players.size());
  family(text, "gsadmin_connected", "gauge", "1 while logged in to the server.");
  sample(text, "gsadmin_connected", snapshot.server.connected ? 1 : 0);
  family(text, "gsadmin_last_datagram_age_seconds", "gauge",
         "Seconds since the last datagram from the server (absent before the first).");
  if (snapshot.lastDatagramMs) {
    uint64_t last = *snapshot.lastDatagramMs;
    char age[48];
    std::snprintf(age, sizeof age, "%.3f",
                  static_cast<double>(nowMs > last ? nowMs - last : 0) / 1000.0);
    text += std::string("gsadmin_last_datagram_age_seconds ") + age + "\n";
  }
  datagramFamilies(text, snapshot);
  scriptFamilies(text, snapshot);
  handlerHistogram(text, snapshot.counters);
  databaseFamilies(text, snapshot, databaseBytes);
  family(text, "gsadmin_uptime_seconds", "gauge", "Seconds since the client started.");
  sample(text, "gsadmin_uptime_seconds", snapshot.uptimeMs / 1000);
  return text;
}

void addMetricsRoute(RouteTable& server, WebContext& context) {
  server.get("/metrics", [&context](const httplib::Request&, httplib::Response& response) {
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
