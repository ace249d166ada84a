// The outage bench's rows: each outage's measures beside the baseline's.

#include <cstdio>

#include "outage_bench.h"
#include "support/client_process.h"

namespace gsadmin::bench {
namespace {

constexpr double kWithin = 1.10;

std::string twoMs(double a, double b) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f ms / %.1f ms", a, b);
  return text;
}

// `value` (the outage's) beside `base` (the baseline's): a p99 no more
// than 10% over.
ResultRow besideBaseline(const std::string& what, double p99, double max, double baseP99,
                         double baseMax, bool complete) {
  return {what, twoMs(p99, max) + " (baseline " + twoMs(baseP99, baseMax) + ")",
          "p99 <= 1.10 x baseline", complete && p99 <= kWithin * baseP99};
}

ResultRow recordsRow(const std::string& prefix, const OutageRun& run) {
  char text[160];
  std::snprintf(text, sizeof text, "chat %lld (%lld distinct) of %llu, visits %lld of %llu",
                static_cast<long long>(run.chatRows), static_cast<long long>(run.chatDistinct),
                static_cast<unsigned long long>(run.chatsMade),
                static_cast<long long>(run.visitRows),
                static_cast<unsigned long long>(run.visitsMade));
  bool once = run.caughtUp && run.chatRows == static_cast<int64_t>(run.chatsMade) &&
              run.chatDistinct == run.chatRows &&
              run.visitRows == static_cast<int64_t>(run.visitsMade);
  return {prefix + "records in the database / made", text, "each once", once};
}

void addBaselineRows(const OutageRun& base, const std::string& label,
                     std::vector<ResultRow>& rows) {
  char window[32];
  std::snprintf(window, sizeof window, "%.0f s", base.windowSeconds);
  std::string prefix = "(n) baseline" + label + ", " + std::string(window) + ": ";
  rows.push_back(
      {prefix + "loop lag (keep-alive round trip), p99 / max",
       twoMs(base.lagP99Ms, base.lagMaxMs) + ", " + std::to_string(base.lagSamples) + " samples",
       "", std::nullopt});
  rows.push_back({prefix + "ban check at join, p99 / max", twoMs(base.joinP99Ms, base.joinMaxMs),
                  "", std::nullopt});
  rows.push_back({prefix + "panel answer from the loop (/api/rules), p99 / max",
                  twoMs(base.loopAnswerP99Ms, base.loopAnswerMaxMs), "", std::nullopt});
  char text[96];
  std::snprintf(text, sizeof text, "%.1f ms, %zu of %zu answered 200", base.recordsReadP99Ms,
                base.recordsReadOk, base.recordsReads);
  rows.push_back({prefix + "panel records read (/api/audit), p99", text, "", std::nullopt});
  rows.push_back(recordsRow(prefix, base));
}

void addOutageRunRows(const OutageRun& run, const OutageRun& base, int seconds,
                      const std::string& label, std::vector<ResultRow>& rows) {
  std::string prefix = "(n) " + run.name + label + ", " + std::to_string(seconds) + " s: ";
  if (!run.ran) {
    rows.push_back({prefix + "not run", run.failure, "", false});
    return;
  }
  bool complete = run.faultApplied && run.probesAnswered;
  rows.push_back(besideBaseline(prefix + "loop lag, p99 / max", run.lagP99Ms, run.lagMaxMs,
                                base.lagP99Ms, base.lagMaxMs, complete));
  rows.push_back(besideBaseline(prefix + "ban check at join, p99 / max", run.joinP99Ms,
                                run.joinMaxMs, base.joinP99Ms, base.joinMaxMs,
                                complete && run.wrongChecks == 0));
  rows.push_back(besideBaseline(prefix + "panel answer from the loop, p99 / max",
                                run.loopAnswerP99Ms, run.loopAnswerMaxMs, base.loopAnswerP99Ms,
                                base.loopAnswerMaxMs, complete));
  char text[96];
  std::snprintf(text, sizeof text, "%.1f ms, %zu of %zu answered 200", run.recordsReadP99Ms,
                run.recordsReadOk, run.recordsReads);
  rows.push_back({prefix + "panel records read, p99", text, "", std::nullopt});
  std::snprintf(text, sizeof text, "%.1f s (measured over %.0f s)", run.arrivalSeconds,
                run.windowSeconds);
  rows.push_back({prefix + "end of the outage to its records written", text, "", run.caughtUp});
  rows.push_back(recordsRow(prefix, run));
}

}  // namespace

void addOutageRows(const std::vector<OutageRun>& runs, int seconds, const std::string& label,
                   std::vector<ResultRow>& rows) {
  std::string named = label.empty() ? "" : " (" + label + ")";
  if (runs.empty()) {
    rows.push_back({"(n) partial outages", "not run: no PostgreSQL server binaries", "", false});
    return;
  }
  const OutageRun& base = runs.front();
  if (!base.ran) {
    rows.push_back({"(n) baseline" + named, "not run: " + base.failure, "", false});
    return;
  }
  addBaselineRows(base, named, rows);
  for (size_t i = 1; i < runs.size(); ++i) addOutageRunRows(runs[i], base, seconds, named, rows);
}

std::vector<ResultRow> outageRows(int seconds, const std::string& which,
                                  const std::string& before) {
  std::vector<ResultRow> rows;
  if (!before.empty())
    addOutageRows(measureOutages(seconds, which, before), seconds, "before", rows);
  addOutageRows(measureOutages(seconds, which, testing::ClientProcess::defaultBinary()), seconds,
                before.empty() ? "" : "now", rows);
  return rows;
}

const char kOutageNotes[] =
    "- (n) Partial outages: one PostgreSQL server the bench starts (as in (h)), a\n"
    "  fresh database for each run holding 1000 tempbans. Client alpha, measured,\n"
    "  runs with its journal, its panel with 20 event streams open (read without\n"
    "  a thread waiting on them), and a script posting every public chat line to a\n"
    "  webhook target that answers (at most 16 in flight); client beta shares the\n"
    "  database with a game of 4 players, 200 updates and 5 chat lines a second.\n"
    "  Alpha's peer plays 16 players: 1000 position updates and 20 chat lines a\n"
    "  second, a player leaving and a new one joining with its details every 2 s.\n"
    "  Probes: a keep-alive request every 10 ms, timed to its answer (the loop's\n"
    "  lag); every 200 ms a probe player joins, every other one under a banned\n"
    "  name in capitals, followed by a keep-alive request and timed to its answer\n"
    "  (the kick comes before it for a banned one); the panel asked every 100 ms,\n"
    "  each on a thread of its own, for /api/rules (made on the loop) and for\n"
    "  /api/audit (the loop writes what waits, then a reader reads; for\n"
    "  information). After a 5 s warm-up the outage begins:\n"
    "  (a) `pg_ctl stop` (fast), then start; (b) SIGSTOP to every process of the\n"
    "  server, then SIGCONT; (c) the script's target switched to a listener that\n"
    "  accepts and never answers, then back; (d) SIGSTOP to beta, then SIGCONT\n"
    "  (--outages=LETTERS runs only those after the baseline).\n"
    "  The measures cover the outage and what follows its end until the chat\n"
    "  recorded before the end is in the database (counted every 250 ms) and 2 s\n"
    "  more, 10 s at least; the baseline is a run with no outage, measured the\n"
    "  same way. Then the probes end and, 2 s later, the chat rows (alpha's and\n"
    "  beta's, each text once) and alpha's visits are counted.\n";

}  // namespace gsadmin::bench
