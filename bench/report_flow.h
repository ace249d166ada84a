#ifndef GSADMIN_BENCH_REPORT_FLOW_H_
#define GSADMIN_BENCH_REPORT_FLOW_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace gsadmin::bench {

// The scenario and the simulator's log of the reports bench
// (report_flow_bench.h): pairs of players, each a reported player "TgNNNN"
// and its reporter "RpNNNN", numbered from 0.

// A scenario of `reports` pairs, the reports `perSecond` apart from
// `leadSeconds` after the login: each pair joins 1.3 s before its report,
// the reported player kills the reporter 1.25 s before it (so the kill's
// second is never that of a chat line, which the records' order by second
// could not tell apart), says a line 0.2 s before, the reporter sends it a
// private message 0.1 s before, then types "!report TgNNNN aimbot N"; both
// leave 0.1 s after. The round ends `tailSeconds` after the last report.
std::string reportScenario(int reports, int perSecond, double leadSeconds, double tailSeconds);

// One pair's lines of the simulator's log (--epoch-stamps): its players'
// chat lines, private messages and kills, as "Tg0001 says: ez 1",
// "Rp0001 to Tg0001: stop 1", "Tg0001 kills Rp0001" (the weapon left
// out), each with its stamp in microseconds since the epoch.
struct PairLog {
  std::vector<std::pair<int64_t, std::string>> lines;
  int64_t reportUs = 0;  // the stamp of the "!report" line; 0: none
};

// The pairs' lines of a log, by pair number.
std::map<int, PairLog> readPairLogs(const std::string& logText);

// The pair a report names ("TgNNNN"); -1 for another name.
int pairOf(const std::string& target);

// A pair's log lines stamped within [fromSecond, toSecond] of the epoch.
std::vector<std::string> linesWithin(const PairLog& log, int64_t fromSecond, int64_t toSecond);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_REPORT_FLOW_H_
