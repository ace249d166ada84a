#include "timer_bench.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "live_client.h"

namespace gsadmin::bench {
namespace {

// "!timers INTERVAL COUNT" on the admin channel starts the timer; every call
// sends "late=<ms>" as a chat line.
const char kTimerScript[] =
    "local started, interval, fired = 0, 0, 0\n"
    "function tick(id)\n"
    "  fired = fired + 1\n"
    "  sendChat('late=' .. (getTickCount() - started - fired * interval))\n"
    "end\n"
    "function onAdmin(text)\n"
    "  if gettok(text, 0, ' ') ~= '!timers' then return end\n"
    "  interval = tonumber(gettok(text, 1, ' '))\n"
    "  fired = 0\n"
    "  started = getTickCount()\n"
    "  setTimer('tick', interval, tonumber(gettok(text, 2, ' ')))\n"
    "end\n"
    "addEventHandler('onAdminChat', 'onAdmin')\n";

double percentile(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  size_t index = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(index, sorted.size() - 1)];
}

}  // namespace

TimerAccuracy measureTimerAccuracy(int intervalMs, int count) {
  TimerAccuracy result;
  result.expected = static_cast<uint64_t>(count);
  LiveClient client(std::string(kTimerScript), false);
  if (!client.connect({{1, "Ann", 0, true}})) return result;
  client.peer().send(testing::chatLine(
      0, 3, "!timers " + std::to_string(intervalMs) + " " + std::to_string(count)));
  std::vector<double> late;
  for (int i = 0; i < count; ++i) {
    std::optional<std::string> text = client.nextChat("late=", intervalMs + 5000);
    if (!text) break;
    late.push_back(std::strtod(text->c_str(), nullptr));
  }
  std::sort(late.begin(), late.end());
  result.fired = late.size();
  result.medianLateMs = percentile(late, 0.5);
  result.p99LateMs = percentile(late, 0.99);
  result.maxLateMs = late.empty() ? 0 : late.back();
  result.complete = result.fired == result.expected;
  return result;
}

}  // namespace gsadmin::bench
