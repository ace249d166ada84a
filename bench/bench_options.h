#ifndef GSADMIN_BENCH_BENCH_OPTIONS_H_
#define GSADMIN_BENCH_BENCH_OPTIONS_H_

#include <optional>
#include <string>

namespace gsadmin::bench {

// The flags of gsadmin_bench: --idle-seconds=N (default 60), --results=PATH
// (default bench/results.md in the source tree), --micro-only (just the
// micro-benchmarks, no table; for profiling), and, each printing its rows
// alone with no file written: --storage-only (the database rows),
// --ban-check-only (the ban check at join), --throughput-only (the queued
// backlog drained in process, beside the raw receive loops), --idle-only (the idle and timer
// rows), --moderation-only (the moderation rows), --rules-only (the rules
// and schedule rows), --requests-only (the chat
// latency without and with 64 HTTP requests in flight), --panel-only (the
// web panel's event streams and its cost to the loop), --public-only (the public
// ban record under 500 requests a second and its cost to the loop), --fleet-only (clients
// sharing a PostgreSQL database), --flood-only (every door of the client
// flooded at once; with --before=PATH, the binary at PATH first, beside the
// one built here), --handler-path-only (the Lua handler path's instructions
// per event and the ban check with 1 000 000 bans, beside those of the build
// of --before=PATH when given). Run by that mode in child processes:
// --handler-feed=KIND:N and --ban-check-figures=BANS:JOINS[:postgres]
// (see handler_path_bench.h and before_after_bench.h). --limits-only: the
// limits with everything on (limits_bench.h), beside --before=PATH when
// given, with --soak-seconds=N (default 300, 0 for none) of steady load.
// Running unattended (unattended_bench.h): --reconnect-only (a reconnection
// with 1 000 000 bans), --outage-only (the partial outages, each lasting
// --outage-seconds=N, default 60; 0 leaves them out of the full run;
// --outages=LETTERS runs only those after the baseline, default abcd),
// --record-bytes-only (the records' bytes on disk), --json-log-only (the
// JSON log's cost), --unattended-only (all four). --login-only: the panel's
// logins with and without a one-time code (login_bench.h). --reports-only:
// players' reports made in game by the simulator (report_flow_bench.h). Google Benchmark's own
// --benchmark_* flags go to the micro-benchmarks.
struct Options {
  int idleSeconds = 60;
  int soakSeconds = 300;
  int outageSeconds = 60;
  std::string outages = "abcd";
  bool limitsOnly = false;
  bool microOnly = false;
  bool storageOnly = false;
  bool banCheckOnly = false;
  bool idleOnly = false;
  bool moderationOnly = false;
  bool rulesOnly = false;
  bool auditOnly = false;
  bool loginOnly = false;
  bool requestsOnly = false;
  bool panelOnly = false;
  bool publicOnly = false;
  bool pageOnly = false;
  bool reportsOnly = false;
  bool fleetOnly = false;
  bool floodOnly = false;
  bool throughputOnly = false;
  bool handlerPathOnly = false;
  bool unattendedOnly = false;
  bool reconnectOnly = false;
  bool outageOnly = false;
  bool recordBytesOnly = false;
  bool jsonLogOnly = false;
  std::string handlerFeed;      // empty: none
  std::string banCheckFigures;  // empty: none
  std::string beforeBinary;     // empty: none
  std::string resultsPath = GSADMIN_BENCH_RESULTS;
};

// The options of the command line; nothing, with a line on standard error,
// for a flag it does not know.
std::optional<Options> parseOptions(int argc, char** argv);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_BENCH_OPTIONS_H_
