#include "panel_bench.h"

#include <httplib.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "live_client.h"
#include "panel/stream_limits.h"
#include "panel_streams.h"
#include "support/panel_client.h"
#include "support/proc_stats.h"

namespace gsadmin::bench {
namespace {

using Clock = StreamClock;

constexpr uint8_t kPlayer = kPanelPlayer;

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

StreamLatency measureStreamLatency(int streams, int lines, int intervalMs) {
  StreamLatency result;
  result.streams = streams;
  result.lines = lines;
  PanelClient panel;
  if (!panel.start(std::nullopt)) return result;
  std::vector<testing::WebUser> logins = panel.streamLogins(streams);
  if (logins.empty()) return result;
  StreamReaders readers(panel.port, logins, streams, lines);
  if (!readers.waitOpen(10000)) return result;

  std::vector<Clock::time_point> sent;
  for (int i = 0; i < lines; ++i) {
    sent.push_back(Clock::now());
    panel.client->peer().send(testing::chatLine(kPlayer, 0, "ping " + std::to_string(i)));
    std::this_thread::sleep_until(sent.back() + std::chrono::milliseconds(intervalMs));
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));
  readers.stop([&]() { panel.client->peer().send(testing::chatLine(kPlayer, 0, "bye")); });

  std::vector<double> latencies;
  for (size_t stream = 0; stream < static_cast<size_t>(streams); ++stream) {
    for (size_t line = 0; line < sent.size(); ++line) {
      if (std::optional<Clock::time_point> seen = readers.seen(stream, line)) {
        latencies.push_back(std::chrono::duration<double, std::milli>(*seen - sent[line]).count());
      }
    }
  }
  std::sort(latencies.begin(), latencies.end());
  result.samples = static_cast<int64_t>(latencies.size());
  result.medianMs = percentile(latencies, 0.5);
  result.p99Ms = percentile(latencies, 0.99);
  result.maxMs = latencies.empty() ? 0 : latencies.back();
  result.complete = result.samples == static_cast<int64_t>(streams) * lines;
  return result;
}

namespace {

std::vector<testing::Datagram> positionBatch(int batch) {
  std::vector<testing::Datagram> datagrams;
  for (int i = 0; i < batch; ++i) {
    float x = static_cast<float>(i % 1000);
    datagrams.push_back(testing::positionUpdate(kPlayer, 0, 100.0f, x, -x, 10.0f));
  }
  return datagrams;
}

}  // namespace

PanelOverhead measurePanelOverhead(int streams, int rounds, int batch) {
  PanelOverhead result;
  PanelClient panel;
  LiveClient plain(std::string(kCountingScript), false);
  if (!panel.start(std::string(kCountingScript)) || !plain.connect({{kPlayer, "Bob", 0, true}})) {
    return result;
  }
  std::vector<testing::WebUser> logins = panel.streamLogins(streams);
  if (logins.empty()) return result;
  StreamReaders readers(panel.port, logins, streams, 0);
  if (!readers.waitOpen(10000)) return result;

  std::vector<testing::Datagram> updates = positionBatch(batch);
  std::vector<double> with, without, ratios, withCpu, withoutCpu, cpuRatios;
  bool answered = true;
  for (int round = 0; round < rounds; ++round) {
    DrainRound one = drainRound(*panel.client, updates);
    DrainRound other = drainRound(plain, updates);
    answered = answered && one.loopCpuRate > 0 && other.loopCpuRate > 0;
    if (!answered) break;
    with.push_back(one.wallRate);
    without.push_back(other.wallRate);
    ratios.push_back(one.wallRate / other.wallRate);
    withCpu.push_back(one.loopCpuRate);
    withoutCpu.push_back(other.loopCpuRate);
    cpuRatios.push_back(one.loopCpuRate / other.loopCpuRate);
  }
  std::optional<uint64_t> handledWith = panel.client->handledCount();
  std::optional<uint64_t> handledWithout = plain.handledCount();
  readers.stop([&]() { panel.client->peer().send(testing::chatLine(kPlayer, 0, "bye")); });

  result.withPerSecond = median(with);
  result.withoutPerSecond = median(without);
  result.ratio = median(ratios);
  result.withPerCpuSecond = median(withCpu);
  result.withoutPerCpuSecond = median(withoutCpu);
  result.cpuRatio = median(cpuRatios);
  result.sent = static_cast<uint64_t>(rounds) * updates.size();
  result.handledWith = handledWith.value_or(0);
  result.handledWithout = handledWithout.value_or(0);
  result.complete = answered && handledWith && handledWithout;
  return result;
}

void addPanelRows(const StreamLatency& latency, const PanelOverhead& overhead,
                  std::vector<ResultRow>& rows) {
  char text[128];
  std::string streams = std::to_string(latency.streams) + " streams";
  std::snprintf(text, sizeof text, "%.1f ms", latency.p99Ms);
  rows.push_back({"(g) chat datagram to an open event stream, " + streams + ", p99", text,
                  "< 50 ms", latency.complete && latency.p99Ms < 50});
  std::snprintf(text, sizeof text, "%.1f ms / %.1f ms, %lld of %lld", latency.medianMs,
                latency.maxMs, static_cast<long long>(latency.samples),
                static_cast<long long>(latency.streams) * latency.lines);
  rows.push_back(
      {"(g) same, median / max, lines seen on all streams", text, "all", latency.complete});
  std::snprintf(text, sizeof text, "%.0f/s / %.0f/s (%.2f)", overhead.withPerCpuSecond,
                overhead.withoutPerCpuSecond, overhead.cpuRatio);
  rows.push_back({"(g) Lua handler under a flood, per loop CPU second: " + streams + " / no panel",
                  text, ">= 0.95", overhead.complete && overhead.cpuRatio >= 0.95});
  std::snprintf(text, sizeof text, "%.0f/s / %.0f/s (%.2f)", overhead.withPerSecond,
                overhead.withoutPerSecond, overhead.ratio);
  rows.push_back(
      {"(g) same, per wall-clock second (shows the machine's load)", text, "", std::nullopt});
  std::snprintf(text, sizeof text, "%llu and %llu of %llu",
                static_cast<unsigned long long>(overhead.handledWith),
                static_cast<unsigned long long>(overhead.handledWithout),
                static_cast<unsigned long long>(overhead.sent));
  bool noLoss = overhead.handledWith == overhead.sent && overhead.handledWithout == overhead.sent;
  rows.push_back(
      {"(g) same, handled with / without the panel", text, "no loss", overhead.complete && noLoss});
}

const char kPanelNotes[] =
    "- (g) The web panel of the real binary (--http on loopback), logged in as one\n"
    "  account whose event streams are read on threads of their own. Latency: 300\n"
    "  chat lines, one each 10 ms, from the peer; for each line and each of 20 open\n"
    "  streams the time until the stream delivers its console event. Throughput:\n"
    "  two binaries side by side with the counting script of (a), one serving the\n"
    "  panel with 20 streams open (so every move publishes the players to them, at\n"
    "  most 10 times a second) and one without --http; each round stops a client\n"
    "  (SIGSTOP), queues 10 000 position updates for it, lets it go on (SIGCONT)\n"
    "  and times it until it answers a keep-alive sent after them: by the clock,\n"
    "  and by the on-CPU time of the loop's thread (/proc/<pid>/schedstat), which\n"
    "  other programs on the machine do not inflate. Rounds alternate between the\n"
    "  two; medians of 41, each ratio the median of the rounds' ratios.\n";

}  // namespace gsadmin::bench
