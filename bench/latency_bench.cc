#include "latency_bench.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "live_client.h"
#include "support/http_test_server.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;

double percentile(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  auto index = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(index, sorted.size() - 1)];
}

// Sixteen requests to URL that never end within the run.
const char kRequestsScript[] =
    "function over(id, status, body) print('request ended: ' .. body) end\n"
    "for i = 1, 16 do httpRequest('GET', URL, nil, nil, 'over') end\n";

LatencyResult measureOn(LiveClient& client, int lines, int intervalUs);

}  // namespace

LatencyResult measureChatLatency(int lines, int intervalUs) {
  LiveClient client(std::string(kCountingScript), true);
  return measureOn(client, lines, intervalUs);
}

LatencyResult measureChatLatencyWithRequests(int lines, int intervalUs) {
  testing::SilentServer silent;
  testing::TempDir dir;
  std::vector<std::string> options = {"--allow-url=" + silent.url("/")};
  for (const char* name : {"a.lua", "b.lua", "c.lua", "d.lua"}) {
    dir.write(name, "URL = '" + silent.url("/hook") + "'\n" + kRequestsScript);
    options.push_back(std::string("--script=") + name);
  }
  LiveClient client(std::nullopt, true, options, dir.path());
  return measureOn(client, lines, intervalUs);
}

namespace {

LatencyResult measureOn(LiveClient& client, int lines, int intervalUs) {
  LatencyResult result;
  result.lines = lines;
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

}  // namespace
}  // namespace gsadmin::bench
