#include "latency_bench.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "live_client.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;

double percentile(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  auto index = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(index, sorted.size() - 1)];
}

}  // namespace

LatencyResult measureChatLatency(int lines, int intervalUs) {
  LatencyResult result;
  result.lines = lines;
  LiveClient client(std::string(kCountingScript), true);
  if (!client.connect({{1, "Bob", 0, true}})) return result;
  if (!client.process().waitForLine("Successfully connected")) return result;

  std::vector<double> latencies;
  for (int i = 0; i < lines; ++i) {
    std::string text = "ping " + std::to_string(i);
    Clock::time_point sent = Clock::now();
    client.peer().send(testing::chatLine(1, 0, text));
    std::optional<std::string> line = client.process().waitForLine("Bob: " + text, 1000);
    Clock::time_point seen = Clock::now();
    if (line) latencies.push_back(std::chrono::duration<double, std::micro>(seen - sent).count());
    std::this_thread::sleep_until(sent + std::chrono::microseconds(intervalUs));
  }
  client.drain();

  std::sort(latencies.begin(), latencies.end());
  result.seen = static_cast<int>(latencies.size());
  result.medianUs = percentile(latencies, 0.5);
  result.p99Us = percentile(latencies, 0.99);
  result.maxUs = latencies.empty() ? 0 : latencies.back();
  result.complete = result.seen == lines;
  return result;
}

}  // namespace gsadmin::bench
