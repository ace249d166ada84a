// gsadmin_bench: throughput, latency, idle cost, dispatch cost and memory of
// the client, each beside its target; the table is printed and written as
// Markdown.
//
// Flags: see bench_options.h.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "audit_bench.h"
#include "ban_check_bench.h"
#include "ban_start_bench.h"
#include "before_after_bench.h"
#include "bench_options.h"
#include "door_flood_bench.h"
#include "fleet_bench.h"
#include "general_notes.h"
#include "handler_path_bench.h"
#include "idle_bench.h"
#include "latency_bench.h"
#include "limits_bench.h"
#include "login_bench.h"
#include "memory_bench.h"
#include "micro_bench.h"
#include "moderation_bench.h"
#include "page_bench.h"
#include "panel_bench.h"
#include "panel_cost_bench.h"
#include "public_bench.h"
#include "report_flow_bench.h"
#include "results_table.h"
#include "rules_bench.h"
#include "storage_bench.h"
#include "support/client_process.h"
#include "throughput_bench.h"
#include "timer_bench.h"
#include "unattended_bench.h"

namespace gsadmin::bench {
namespace {

constexpr int kDrainRounds = 21;
constexpr int kDrainBatch = 10000;
constexpr double kSustainedRate = 100000;
constexpr double kSustainedSeconds = 2;
constexpr int kLatencyLines = 1000;
constexpr int kLatencyIntervalUs = 1000;
constexpr int kStorageRounds = 5;
constexpr int kStorageRows = 50000;
constexpr int kTimerIntervalMs = 20;
constexpr int kTimerCalls = 500;
constexpr int kStorageQueries = 100000;
constexpr int kBans = 1000000;
constexpr int kBanCheckJoins = 10000;
constexpr int kChatRounds = 5;
constexpr int kChatLines = 100000;
constexpr int kChatFlushEvery = 1000;
constexpr int64_t kHistoryPlayers = 100000;
constexpr int64_t kHistoryChatRows = 1000000;
constexpr size_t kHistoryLookups = 1000;
constexpr int kPanelStreams = 20;
constexpr int kPanelLines = 300;
constexpr int kPanelIntervalMs = 10;
constexpr int kPanelRounds = 41;
constexpr int kFloodSeconds = 20;

// The web panel's rows: the event streams' latency, the loop's cost, and
// the whole process's, idle and under load (see panel_cost_bench.h).
void addPanelRows(std::vector<ResultRow>& rows, const Options& options) {
  addPanelRows(measureStreamLatency(kPanelStreams, kPanelLines, kPanelIntervalMs),
               measurePanelOverhead(kPanelStreams, kPanelRounds, kDrainBatch), rows);
  appendPanelCostRows(options.beforeBinary, options.idleSeconds, rows);
}

// Every door flooded: the binary `before` first when given, then this one.
std::vector<ResultRow> floodRows(const std::string& before) {
  std::printf("(i) every door flooded\n");
  std::fflush(stdout);
  std::vector<ResultRow> rows;
  if (!before.empty()) {
    addDoorFloodRows(measureDoorFlood(before, kFloodSeconds), "before", kFloodSeconds, rows);
  }
  addDoorFloodRows(
      measureDoorFlood(gsadmin::testing::ClientProcess::defaultBinary(), kFloodSeconds), "now",
      kFloodSeconds, rows);
  return rows;
}

// `value` with `precision` decimals, then `suffix`.
std::string number(double value, int precision, const char* suffix = "") {
  char text[96];
  std::snprintf(text, sizeof(text), "%.*f%s", precision, value, suffix);
  return text;
}

std::string count(uint64_t value) {
  return std::to_string(value);
}

std::string rate(double perSecond) {
  return number(perSecond, 0, "/s");
}

void addThroughputRows(const DrainRates& drain, const SustainedRun& sustained,
                       std::vector<ResultRow>& rows) {
  std::vector<ResultRow> drained = drainRows(drain);
  rows.insert(rows.end(), drained.begin(), drained.end());
  rows.push_back(
      {"(a) real binary, " + number(sustained.rate, 0) + "/s for " + number(kSustainedSeconds, 0) +
           " s: handled, drops",
       count(sustained.handled) + " of " + count(sustained.sent) + ", " + count(sustained.drops),
       "no loss",
       sustained.complete && sustained.handled == sustained.sent && sustained.drops == 0});
  double busy = sustained.seconds > 0 ? 100.0 * sustained.clientCpuSeconds / sustained.seconds : 0;
  rows.push_back({"(a) real binary, CPU used during that stream", number(busy, 0, "% of a core"),
                  "", std::nullopt});
}

void addStorageRows(const StorageRates& storage, std::vector<ResultRow>& rows) {
  rows.push_back({"(a) rows inserted from Lua, one transaction", rate(storage.insertsPerSecond),
                  ">= 50000/s", storage.complete && storage.insertsPerSecond >= 50000});
  rows.push_back({"(a) single-row primary-key queries from Lua", rate(storage.queriesPerSecond),
                  ">= 100000/s", storage.complete && storage.queriesPerSecond >= 100000});
}

void addModerationRows(const ChatRecording& chat, const HistoryReads& reads,
                       const ModerationOverhead& overhead, std::vector<ResultRow>& rows) {
  rows.push_back({"(f) chat lines recorded, flush each 1000", rate(chat.linesPerSecond),
                  ">= 10000/s", chat.complete && chat.linesPerSecond >= 10000});
  rows.push_back({"(f) .seen + .history reads, 1M chat rows, 100k players, p99",
                  number(reads.p99Ms, 2, " ms"), "< 10 ms", reads.complete && reads.p99Ms < 10});
  rows.push_back({"(f) same, median / max",
                  number(reads.medianMs, 2, " ms") + " / " + number(reads.maxMs, 2, " ms"), "",
                  std::nullopt});
  double ratio =
      overhead.withoutPerSecond > 0 ? overhead.withPerSecond / overhead.withoutPerSecond : 0;
  rows.push_back({"(f) position updates, moderation on / --no-moderation",
                  rate(overhead.withPerSecond) + " / " + rate(overhead.withoutPerSecond) + " (" +
                      number(ratio, 2, ")"),
                  ">= 0.95", overhead.complete && ratio >= 0.95});
}

std::vector<ResultRow> moderationRows() {
  std::vector<ResultRow> rows;
  addModerationRows(measureChatRecording(kChatRounds, kChatLines, kChatFlushEvery),
                    measureHistoryReads(kHistoryPlayers, kHistoryChatRows, kHistoryLookups),
                    measureModerationOverhead(kDrainRounds, kDrainBatch), rows);
  return rows;
}

// For the runs of one part: the table on standard output, no file.
int printTable(const std::vector<ResultRow>& rows) {
  std::printf("%s", formatTable(rows).c_str());
  return 0;
}

void addLatencyRows(const LatencyResult& latency, std::vector<ResultRow>& rows) {
  rows.push_back({"(b) chat datagram to console line, median", number(latency.medianUs, 0, " us"),
                  "< 1000 us", latency.complete && latency.medianUs < 1000});
  rows.push_back({"(b) same, 99th percentile / max",
                  number(latency.p99Us, 0, " us") + " / " + number(latency.maxUs, 0, " us"), "",
                  std::nullopt});
  rows.push_back({"(b) lines seen",
                  std::to_string(latency.seen) + " of " + std::to_string(latency.lines), "all",
                  latency.seen == latency.lines});
}

// The chat latency with 64 HTTP requests in flight beside `without` them.
void addRequestsRows(const LatencyResult& without, const LatencyResult& with,
                     std::vector<ResultRow>& rows) {
  double added = with.p99Us - without.p99Us;
  rows.push_back({"(b) chat line p99, 64 requests in flight / none",
                  number(with.p99Us, 0, " us") + " / " + number(without.p99Us, 0, " us"),
                  "within 5000 us", with.complete && without.complete && added <= 5000});
  rows.push_back({"(b) same, median / lines seen",
                  number(with.medianUs, 0, " us") + " / " + std::to_string(with.seen) + " of " +
                      std::to_string(with.lines),
                  "all", with.seen == with.lines});
}

// --requests-only: both latency runs, printed.
int printRequestsRows() {
  std::vector<ResultRow> rows;
  LatencyResult without = measureChatLatency(kLatencyLines, kLatencyIntervalUs);
  addLatencyRows(without, rows);
  addRequestsRows(without, measureChatLatencyWithRequests(kLatencyLines, kLatencyIntervalUs), rows);
  std::printf("%s", formatTable(rows).c_str());
  return 0;
}

void addIdleRow(const IdleResult& idle, std::vector<ResultRow>& rows) {
  rows.push_back(
      {"(c) idle CPU while connected, " + number(idle.seconds, 0) + " s",
       number(idle.cpuSeconds, 3, " s") + " = " + number(idle.percentOfCore, 3, "% of a core"),
       "< 0.05% of a core", idle.complete && idle.stayedConnected && idle.percentOfCore < 0.05});
  double seconds = idle.seconds > 0 ? idle.seconds : 1;
  double beyond = idle.wakeups > idle.keepAlives
                      ? static_cast<double>(idle.wakeups - idle.keepAlives) / seconds
                      : 0;
  rows.push_back({"(c) wakeups beyond keep-alives (1 per 5 s)",
                  number(beyond, 2, "/s") + " (" + count(idle.wakeups) + " in all)", "< 1/s",
                  idle.complete && beyond < 1.0});
  rows.push_back({"(c) same, exact on-CPU time (schedstat)",
                  number(idle.onCpuSeconds, 3, " s") + " = " +
                      number(100.0 * idle.onCpuSeconds / seconds, 3, "% of a core"),
                  "", std::nullopt});
  rows.push_back({"(c) bare poll(10 ms) + recv loop beside it, on-CPU",
                  number(idle.bareLoopOnCpuSeconds, 3, " s") + " = " +
                      number(100.0 * idle.bareLoopOnCpuSeconds / seconds, 2, "% of a core"),
                  "", std::nullopt});
}

void addTimerRows(const TimerAccuracy& timers, std::vector<ResultRow>& rows) {
  rows.push_back({"(c) timer lateness, median", number(timers.medianLateMs, 0, " ms"), "<= 2 ms",
                  timers.complete && timers.medianLateMs <= 2});
  rows.push_back({"(c) timer lateness, 99th percentile / max",
                  number(timers.p99LateMs, 0, " ms") + " / " + number(timers.maxLateMs, 0, " ms"),
                  "<= 10 ms", timers.complete && timers.p99LateMs <= 10});
  rows.push_back({"(c) timer calls seen", count(timers.fired) + " of " + count(timers.expected),
                  "all", timers.complete});
}

double nanosecondsOf(const std::vector<MicroResult>& micro, const std::string& name) {
  for (const MicroResult& result : micro) {
    if (result.name == name) return result.nanoseconds;
  }
  return 0;
}

void addMicroRows(const std::vector<MicroResult>& micro, std::vector<ResultRow>& rows) {
  for (const MicroResult& result : micro) {
    rows.push_back({"(d) " + result.name, number(result.nanoseconds, 0, " ns"), "", std::nullopt});
  }
  double one = nanosecondsOf(micro, "BM_FireEventLuaHandler");
  double ten = nanosecondsOf(micro, "BM_FireEventTenScriptsLuaHandler");
  if (one > 0 && ten > 0) {
    rows.push_back({"(d) ten scripts' handlers / one script's, per event",
                    number(ten / one, 2, "x"), "<= 11.00x", ten <= one * 11});
  }
  double idleKiB = idleScriptLuaKiB();
  rows.push_back({"(e) Lua memory of a loaded idle script", number(idleKiB, 0, " KiB"),
                  "<= 256 KiB", idleKiB > 0 && idleKiB <= 256});
}

void addMemoryRows(const MemoryResult& memory, std::vector<ResultRow>& rows) {
  rows.push_back(
      {"(e) VmRSS, connected, no players", number(memory.emptyKiB, 0, " KiB"), "", std::nullopt});
  rows.push_back({"(e) VmRSS, full server (256 players)", number(memory.fullKiB, 0, " KiB"),
                  "<= 16384 KiB", memory.complete && memory.fullKiB <= 16384});
}

// The rows of the moderation, the fleet, the panel, the doors flooded and
// the limits with everything on, in that order.
std::vector<ResultRow> laterRows(const Options& options) {
  std::printf("(f) moderation, (h) fleet\n");
  std::fflush(stdout);
  std::vector<ResultRow> moderation = moderationRows();
  std::vector<ResultRow> fleet = fleetRows();
  std::printf("(g) web panel\n");
  std::fflush(stdout);
  std::vector<ResultRow> panel;
  addPanelRows(panel, options);
  for (ResultRow& row : publicRows()) panel.push_back(row);
  for (ResultRow& row : pageRows()) panel.push_back(row);
  for (ResultRow& row : reportFlowRows()) panel.push_back(row);
  std::vector<ResultRow> flood = floodRows(options.beforeBinary);
  for (ResultRow& row : beforeAfterRows(options.beforeBinary)) flood.push_back(row);
  std::vector<ResultRow> limits = limitsRows(options.beforeBinary, options.soakSeconds);
  std::vector<ResultRow> rules = rulesRows();
  std::vector<ResultRow> audit = auditRows();
  std::vector<ResultRow> login = loginRows();
  std::vector<ResultRow> unattended = unattendedRows(options);

  std::vector<ResultRow> rows = moderation;
  for (const std::vector<ResultRow>* group :
       {&panel, &fleet, &flood, &limits, &rules, &audit, &login, &unattended}) {
    rows.insert(rows.end(), group->begin(), group->end());
  }
  return rows;
}

// How every row of the full run is taken, for below the table.
std::string allNotes() {
  return std::string(kGeneralNotes) + kPanelNotes + kPanelCostNotes + kPublicNotes + kPageNotes +
         kReportFlowNotes + kFleetNotes + kFloodNotes + kBeforeAfterNotes + kBanStartNotes +
         kLimitsNotes + kRulesNotes + kAuditNotes + kLoginNotes + unattendedNotes();
}

// The run of one of the --*-only flags, or none when no such flag was given.
std::optional<int> runOnePart(const Options& options) {
  std::vector<ResultRow> rows;
  if (!options.handlerFeed.empty()) return runHandlerFeed(options.handlerFeed);
  if (!options.banCheckFigures.empty()) return runBanCheckFigures(options.banCheckFigures);
  if (options.handlerPathOnly) return printTable(beforeAfterRows(options.beforeBinary));
  if (std::optional<int> status = runUnattendedPart(options)) return status;
  if (options.idleOnly) {
    addIdleRow(measureIdleCost(options.idleSeconds), rows);
    addTimerRows(measureTimerAccuracy(kTimerIntervalMs, kTimerCalls), rows);
    for (ResultRow& row : quietPanelRows(options.beforeBinary, options.idleSeconds))
      rows.push_back(row);
    return printTable(rows);
  }
  if (options.banCheckOnly) {
    addBanCheckRows(measureBanCheck(kBans, kBanCheckJoins), kBans, rows);
    for (ResultRow& row : banStartRows(options.beforeBinary)) rows.push_back(row);
    return printTable(rows);
  }
  if (options.moderationOnly) return printTable(moderationRows());
  if (options.rulesOnly) return printTable(rulesRows());
  if (options.auditOnly) return printTable(auditRows());
  if (options.loginOnly) return printTable(loginRows());
  if (options.requestsOnly) return printRequestsRows();
  if (options.fleetOnly) return printTable(fleetRows());
  if (options.throughputOnly)
    return printTable(drainRows(measureDrainRates(kDrainRounds, kDrainBatch)));
  if (options.floodOnly) return printTable(floodRows(options.beforeBinary));
  if (options.limitsOnly) {
    return printTable(limitsRows(options.beforeBinary, options.soakSeconds));
  }
  if (options.panelOnly) {
    addPanelRows(rows, options);
    return printTable(rows);
  }
  if (options.publicOnly) return printTable(publicRows());
  if (options.pageOnly) return printTable(pageRows());
  if (options.reportsOnly) return printTable(reportFlowRows());
  if (options.storageOnly) {
    addStorageRows(measureStorageRates(kStorageRounds, kStorageRows, kStorageQueries), rows);
    return printTable(rows);
  }
  return std::nullopt;
}

}  // namespace
}  // namespace gsadmin::bench

int main(int argc, char** argv) {
  using namespace gsadmin::bench;
  benchmark::Initialize(&argc, argv);
  std::optional<Options> options = parseOptions(argc, argv);
  if (!options) return 2;

  if (std::optional<int> status = runOnePart(*options)) return *status;
  std::printf("(d) micro-benchmarks\n");
  std::fflush(stdout);
  std::vector<MicroResult> micro = runMicroBenchmarks();
  if (options->microOnly) return 0;
  std::printf("(a) throughput\n");
  std::fflush(stdout);
  DrainRates drain = measureDrainRates(kDrainRounds, kDrainBatch);
  SustainedRun sustained = measureSustained(kSustainedRate, kSustainedSeconds);
  StorageRates storage = measureStorageRates(kStorageRounds, kStorageRows, kStorageQueries);
  BanCheckResult banCheck = measureBanCheck(kBans, kBanCheckJoins);
  std::printf("(b) latency\n(e) memory\n");
  std::fflush(stdout);
  LatencyResult latency = measureChatLatency(kLatencyLines, kLatencyIntervalUs);
  LatencyResult withRequests = measureChatLatencyWithRequests(kLatencyLines, kLatencyIntervalUs);
  MemoryResult memory = measureFullServerMemory();
  std::printf("(c) idle cost, %d s\n", options->idleSeconds);
  std::fflush(stdout);
  IdleResult idle = measureIdleCost(options->idleSeconds);
  TimerAccuracy timers = measureTimerAccuracy(kTimerIntervalMs, kTimerCalls);
  std::vector<ResultRow> later = laterRows(*options);

  std::vector<ResultRow> rows;
  addThroughputRows(drain, sustained, rows);
  addStorageRows(storage, rows);
  addBanCheckRows(banCheck, kBans, rows);
  addLatencyRows(latency, rows);
  addRequestsRows(latency, withRequests, rows);
  addIdleRow(idle, rows);
  addTimerRows(timers, rows);
  addMicroRows(micro, rows);
  addMemoryRows(memory, rows);
  rows.insert(rows.end(), later.begin(), later.end());

  std::printf("\n%s", formatTable(rows).c_str());
  if (!writeResults(options->resultsPath, "gsadmin benchmark results", rows, allNotes())) {
    std::fprintf(stderr, "gsadmin_bench: cannot write %s\n", options->resultsPath.c_str());
    return 1;
  }
  std::printf("\nwritten to %s\n", options->resultsPath.c_str());
  return 0;
}
