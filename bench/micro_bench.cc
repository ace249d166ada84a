#include "micro_bench.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>

#include "base/timer_queue.h"
#include "live_client.h"
#include "protocol/dispatch.h"
#include "script/script_manager.h"
#include "support/session_harness.h"

namespace gsadmin::bench {
namespace {

// A handler list like a real script's: several events, one of them the
// position change.
const char kManyHandlersScript[] =
    "function noop() end\n"
    "for _, name in ipairs({'onConnect', 'onDisconnect', 'onPlayerJoin', 'onPlayerQuit',\n"
    "    'onPlayerChat', 'onPlayerMessage', 'onAdminChat', 'onAdminMessage',\n"
    "    'onPlayerHealthChange', 'onVehicleHealthChange', 'onPlayerVehicleEnter'}) do\n"
    "  addEventHandler(name, 'noop')\n"
    "end\n";

std::string withPositionHandler(const char* script) {
  return std::string(script) +
         "handled = 0\n"
         "function onPosition(id) handled = handled + 1 end\n"
         "addEventHandler('onPlayerPositionChange', 'onPosition')\n";
}

// An in-process session connected (game 2, mode 1) with player 1 known; its
// console lines are kept in memory.
std::unique_ptr<testing::SessionHarness> connectedSession(const std::string& script) {
  auto harness = std::make_unique<testing::SessionHarness>(script, "Admin", "pw");
  harness->connect(testing::ServerRecord(), {{1, "Bob", 0, true}});
  harness->deliver(testing::playerDetails(1, "details"));
  harness->sent();
  return harness;
}

void dispatchPositionUpdate(benchmark::State& state, const std::string& script) {
  std::unique_ptr<testing::SessionHarness> harness = connectedSession(script);
  Datagram update = testing::positionUpdate(1, 0, 100.0f, 1.0f, 2.0f, 3.0f);
  for (auto _ : state) {
    dispatchMessage(harness->session(), update[0], update.data() + 1, update.size() - 1);
  }
}

void BM_DispatchPositionUpdateLuaHandler(benchmark::State& state) {
  dispatchPositionUpdate(state, withPositionHandler(kManyHandlersScript));
}

void BM_DispatchPositionUpdateNoHandler(benchmark::State& state) {
  dispatchPositionUpdate(state, kManyHandlersScript);
}

void BM_FireEventLuaHandler(benchmark::State& state) {
  std::unique_ptr<testing::SessionHarness> harness =
      connectedSession(withPositionHandler(kManyHandlersScript));
  EventManager& events = harness->session().events();
  for (auto _ : state) events.fireEvent(Event::kPlayerPositionChange, 1);
}

// The same event with ten scripts loaded side by side, each with the
// handler: the cost of one event is at most ten times one script's plus 10%.
void BM_FireEventTenScriptsLuaHandler(benchmark::State& state) {
  const std::string script = withPositionHandler(kManyHandlersScript);
  std::unique_ptr<testing::SessionHarness> harness = connectedSession(script);
  std::string directory = harness->scriptPath();
  directory.erase(directory.rfind('/') + 1);
  for (int i = 1; i < 10; ++i) {
    std::string name = "more" + std::to_string(i) + ".lua";
    std::ofstream(directory + name) << script;
    if (harness->session().scripts().load(ScriptSource{directory + name, name}) == nullptr) {
      state.SkipWithError("a script did not load");
      return;
    }
  }
  EventManager& events = harness->session().events();
  for (auto _ : state) events.fireEvent(Event::kPlayerPositionChange, 1);
}

void BM_FireEventNoMatchingHandler(benchmark::State& state) {
  std::unique_ptr<testing::SessionHarness> harness = connectedSession(kManyHandlersScript);
  EventManager& events = harness->session().events();
  for (auto _ : state) events.fireEvent(Event::kPlayerPositionChange, 1);
}

// One round of the most timers a script may hold, all due at once, with a
// call that does nothing: the queue's own cost of a round.
void BM_TimerRoundOfMaxTimers(benchmark::State& state) {
  TimerQueue queue;
  for (size_t i = 0; i < TimerQueue::kMaxTimers; ++i) queue.add("t", 10, 0, 0);
  uint64_t now = 0;
  uint64_t calls = 0;
  for (auto _ : state) {
    now += 10;
    queue.runDue(now, [&](int64_t, const std::string&) { ++calls; });
  }
  benchmark::DoNotOptimize(calls);
}

// Five repetitions each: on a shared machine single runs scatter widely, and
// the median of five is what the table shows.
BENCHMARK(BM_DispatchPositionUpdateLuaHandler)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_DispatchPositionUpdateNoHandler)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_FireEventLuaHandler)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_FireEventTenScriptsLuaHandler)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_FireEventNoMatchingHandler)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_TimerRoundOfMaxTimers)->Repetitions(5)->ReportAggregatesOnly();

// Prints as usual and keeps the median of each benchmark, or its single
// run's time when it was run once (--benchmark_repetitions=1).
class KeepingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (!single && !median) continue;
      double perUnit = 1.0 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      results.push_back({run.run_name.function_name, run.GetAdjustedRealTime() * perUnit * 1e9});
    }
  }
  std::vector<MicroResult> results;
};

}  // namespace

double idleScriptLuaKiB() {
  std::unique_ptr<testing::SessionHarness> harness =
      connectedSession(withPositionHandler(kManyHandlersScript));
  const Script* script = harness->session().scripts().firstLoaded();
  if (script == nullptr) return 0;
  return static_cast<double>(script->limiter->bytesInUse()) / 1024.0;
}

std::vector<MicroResult> runMicroBenchmarks() {
  KeepingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::cout.flush();
  return reporter.results;
}

}  // namespace gsadmin::bench
