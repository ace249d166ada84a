#ifndef GSADMIN_BENCH_PANEL_COST_BENCH_H_
#define GSADMIN_BENCH_PANEL_COST_BENCH_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// The wakeups of every thread of the real binary `program`, connected and
// idle for `seconds` (a keep-alive request each 5 s), with the moderation on
// a SQLite file, --metrics, the nine example scripts and two open event
// streams of the panel.
struct QuietPanel {
  struct Threads {
    std::string name;          // the threads' name (/proc/PID/task/TID/comm)
    size_t count = 0;          // threads of that name
    uint64_t switches = 0;     // voluntary and not, over the seconds
    uint64_t involuntary = 0;  // of them: preempted, not waiting
  };
  double seconds = 0;
  uint64_t switches = 0;  // all threads'
  double perSecond = 0;
  uint64_t comments = 0;         // keep-alive comments the streams brought
  std::vector<Threads> threads;  // by name, most switches first
  bool complete = false;
};
QuietPanel measureQuietPanel(const std::string& program, int seconds);

// The real binary `program` under a steady load of `updatesPerSecond`
// position updates and `chatPerSecond` chat lines for `seconds`, once with
// the panel and `streams` event streams open and once without the panel,
// `rounds` times in turn. CPU is the process's utime + stime.
struct PanelLoad {
  int streams = 0;
  double cpuWith = 0;  // seconds, summed over the rounds
  double cpuWithout = 0;
  double ratio = 0;
  // Of cpuWith, by thread name, most first.
  std::vector<std::pair<std::string, double>> cpuByThread;
  double sentPerSecond = 0;  // updates, as the sender kept up
  int64_t samples = 0;       // (chat line, stream) pairs seen
  int64_t expected = 0;
  double medianMs = 0;
  double p99Ms = 0;
  bool complete = false;
};
PanelLoad measurePanelLoad(const std::string& program, int streams, int updatesPerSecond,
                           int chatPerSecond, int seconds, int rounds);

// The rows of each, `label` ("before", "now") told in their names.
void addQuietPanelRows(const QuietPanel& quiet, const std::string& label,
                       std::vector<ResultRow>& rows);
void addPanelLoadRows(const PanelLoad& load, const std::string& label,
                      std::vector<ResultRow>& rows);

// The rows of both, of `before` (when not empty) and of this build;
// `idleSeconds` for the quiet run.
std::vector<ResultRow> quietPanelRows(const std::string& before, int idleSeconds);
std::vector<ResultRow> panelLoadRows(const std::string& before);

// Both, appended to `rows`.
void appendPanelCostRows(const std::string& before, int idleSeconds, std::vector<ResultRow>& rows);

extern const char kPanelCostNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_PANEL_COST_BENCH_H_
