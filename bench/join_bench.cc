#include "join_bench.h"

#include <chrono>
#include <thread>
#include <vector>

#include "bench_statistics.h"
#include "live_client.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kDetailsRequestId = 0x1D;
constexpr int kWaitMs = 1000;
constexpr int kPauseMs = 2;

// Waits for the details request for `id`, reading past anything else; the
// moment it came, or nothing after kWaitMs.
std::optional<Clock::time_point> awaitRequest(LiveClient& client, uint8_t id) {
  Clock::time_point end = Clock::now() + std::chrono::milliseconds(kWaitMs);
  while (Clock::now() < end) {
    std::optional<Datagram> datagram = client.peer().receive(kWaitMs);
    if (!datagram) break;
    if (*datagram == Datagram{kDetailsRequestId, id}) return Clock::now();
  }
  return std::nullopt;
}

}  // namespace

JoinToDetails measureJoinToDetails(const std::string& program, int joins) {
  JoinToDetails result;
  result.joins = joins;
  LiveClient client(std::string(kCountingScript), false, {}, std::nullopt, program);
  if (!client.connect({})) return result;
  std::vector<double> delays;
  for (int join = 0; join < joins; ++join) {
    auto id = static_cast<uint8_t>(join % 200);
    Clock::time_point sent = Clock::now();
    client.peer().send(testing::playerJoined(id, "Joiner" + std::to_string(join)));
    std::optional<Clock::time_point> answered = awaitRequest(client, id);
    if (answered)
      delays.push_back(std::chrono::duration<double, std::milli>(*answered - sent).count());
    client.peer().send(testing::playerDetails(id, "details"));
    client.peer().send(testing::playerLeft(0, id));
    // Joins come apart on a real server: each is timed from a loop at rest,
    // not queued behind the records of the last.
    std::this_thread::sleep_for(std::chrono::milliseconds(kPauseMs));
  }
  if (!client.sync()) return result;
  result.answered = static_cast<int>(delays.size());
  result.medianMs = percentileOf(delays, 0.5);
  result.p99Ms = percentileOf(delays, 0.99);
  result.maxMs = percentileOf(delays, 1.0);
  result.complete = result.answered == joins;
  return result;
}

}  // namespace gsadmin::bench
