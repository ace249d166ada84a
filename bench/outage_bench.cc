#include "outage_bench.h"

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <thread>

#include "outage_rig.h"

namespace gsadmin::bench {
namespace {

using Server = testing::PostgresServer;
using Action = std::function<bool(OutageRig&, Server&)>;

struct Outage {
  char letter;  // what --outages= names it by; 0 for the baseline, always run
  const char* name;
  Action begin;
  Action end;
};

bool nothing(OutageRig&, Server&) {
  return true;
}

std::vector<Outage> outages() {
  return {
      {0, "baseline", nothing, nothing},
      {'a', "(a) PostgreSQL stopped", [](OutageRig&, Server& s) { return s.stopGracefully(); },
       [](OutageRig&, Server& s) { return s.start(); }},
      {'b', "(b) PostgreSQL frozen", [](OutageRig&, Server& s) { return s.signalAll(SIGSTOP); },
       [](OutageRig&, Server& s) { return s.signalAll(SIGCONT); }},
      {'c', "(c) webhook target silent",
       [](OutageRig& rig, Server&) {
         rig.setHookSilent(true);
         return true;
       },
       [](OutageRig& rig, Server&) {
         rig.setHookSilent(false);
         return true;
       }},
      {'d', "(d) second client stopped",
       [](OutageRig& rig, Server&) {
         rig.beta().kill(SIGSTOP);
         return true;
       },
       [](OutageRig& rig, Server&) {
         rig.beta().kill(SIGCONT);
         return true;
       }},
  };
}

// Plays until `until` while `action` runs on a thread of its own (pg_ctl
// takes seconds); whether it succeeded.
bool playWhile(OutageRig& rig, Server& server, const Action& action, PlayClock::time_point until) {
  bool done = false;
  std::thread acting([&]() { done = action(rig, server); });
  rig.play(until);
  acting.join();
  return done;
}

void takeMeasures(const OutageRig& rig, PlayClock::time_point from, PlayClock::time_point to,
                  OutageRun& run) {
  const GamePlay& game = rig.game();
  run.lagP99Ms = percentileIn(game.lags(), from, to, 0.99, &run.lagSamples);
  run.lagMaxMs = percentileIn(game.lags(), from, to, 1.0);
  run.joinP99Ms = percentileIn(game.joins(), from, to, 0.99);
  run.joinMaxMs = percentileIn(game.joins(), from, to, 1.0);
  run.wrongChecks = game.wrongChecks();
  const PanelProbe& panel = rig.panel();
  std::vector<TimedSample> loop = panel.samplesOf(OutageRig::kLoopAnswer);
  run.loopAnswerP99Ms = percentileIn(loop, from, to, 0.99);
  run.loopAnswerMaxMs = percentileIn(loop, from, to, 1.0);
  std::vector<TimedSample> reads = panel.samplesOf(OutageRig::kRecordsRead);
  run.recordsReadP99Ms = percentileIn(reads, from, to, 0.99, &run.recordsReads);
  run.recordsReadOk = panel.countWithStatus(OutageRig::kRecordsRead, 200, from, to);
}

// Every record played, counted in the database once the probes ended:
// those made after the catch-up took at most a batch to arrive.
void countRecords(OutageRig& rig, OutageRun& run) {
  run.chatsMade = rig.game().chatsSent() + rig.betaChats();
  run.visitsMade = rig.game().visits();
  rig.idle(PlayClock::now() + std::chrono::seconds(2));
  auto both = [&rig](bool distinct) {
    int64_t alpha = rig.countRows("gs_chat", "alpha", "text", distinct);
    int64_t beta = rig.countRows("gs_chat", "beta", "text", distinct);
    return alpha < 0 || beta < 0 ? -1 : alpha + beta;
  };
  run.chatRows = both(false);
  run.chatDistinct = both(true);
  run.visitRows = rig.countRows("gs_sessions", "alpha", "*", false);
}

// The outage's end, and the measures on: kRecoverySeconds at least, and
// until what was recorded before the end has reached the database and 2 s
// more. When the end is.
PlayClock::time_point endOutage(OutageRig& rig, Server& server, const Outage& outage,
                                OutageRun& run) {
  PlayClock::time_point ended = PlayClock::now();
  bool done = false;
  std::thread acting([&]() { done = outage.end(rig, server); });
  std::optional<PlayClock::time_point> written =
      rig.playUntilWritten(ended + std::chrono::seconds(kArrivalWaitSeconds));
  PlayClock::time_point over = std::max(ended + std::chrono::seconds(kRecoverySeconds),
                                        written.value_or(ended) + std::chrono::seconds(2));
  rig.play(over);
  acting.join();
  run.faultApplied = run.faultApplied && done;
  run.caughtUp = written.has_value();
  if (written) run.arrivalSeconds = std::chrono::duration<double>(*written - ended).count();
  return PlayClock::now();
}

OutageRun runOne(Server& server, const Outage& outage, int seconds, int index,
                 const std::string& program) {
  OutageRun run;
  run.name = outage.name;
  std::printf("(n) %s, %d s\n", outage.name, seconds);
  std::fflush(stdout);
  OutageRig rig(server, "outage" + std::to_string(index), program);
  if (!rig.ok()) {
    run.failure = rig.failure();
    return run;
  }
  rig.play(PlayClock::now() + std::chrono::seconds(kWarmUpSeconds));
  PlayClock::time_point began = PlayClock::now();
  run.faultApplied = playWhile(rig, server, outage.begin, began + std::chrono::seconds(seconds));
  PlayClock::time_point over = endOutage(rig, server, outage, run);
  run.windowSeconds = std::chrono::duration<double>(over - began).count();
  run.probesAnswered = rig.endProbes();
  takeMeasures(rig, began, over, run);
  countRecords(rig, run);
  run.ran = true;
  return run;
}

// Whether `outage` is one of the letters in `which`; the baseline always is.
bool chosen(const Outage& outage, const std::string& which) {
  return outage.letter == 0 || which.find(outage.letter) != std::string::npos;
}

}  // namespace

std::vector<OutageRun> measureOutages(int seconds, const std::string& which,
                                      const std::string& program) {
  std::vector<OutageRun> runs;
  if (!Server::binaries()) {
    std::fprintf(stderr, "outage bench: %s\n", Server::kMissing);
    return runs;
  }
  Server server;
  if (!server.running()) {
    std::fprintf(stderr, "outage bench: %s\n", server.failure().c_str());
    return runs;
  }
  int index = 0;
  for (const Outage& outage : outages()) {
    if (!chosen(outage, which)) continue;
    runs.push_back(runOne(server, outage, seconds, ++index, program));
    // A run that failed half-way may have left the server stopped.
    server.signalAll(SIGCONT);
    server.start();
  }
  return runs;
}

}  // namespace gsadmin::bench
