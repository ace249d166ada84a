#include "soak_bench.h"

#include <chrono>
#include <thread>

#include "live_client.h"
#include "support/proc_stats.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPlayers = 32;
constexpr int kMinuteSeconds = 60;

std::vector<ListedPlayer> soakPlayers() {
  std::vector<ListedPlayer> players;
  for (int id = 0; id < kPlayers; ++id) {
    players.push_back({static_cast<uint8_t>(id), "Soaker" + std::to_string(id), 0, true});
  }
  return players;
}

// The datagrams of one second's load, spread evenly: updates of every
// player in turn, a chat line every so often.
std::vector<Datagram> oneSecond(int updates, int chat) {
  std::vector<Datagram> datagrams;
  int chatEvery = chat > 0 ? std::max(1, updates / chat) : 0;
  for (int i = 0; i < updates; ++i) {
    auto id = static_cast<uint8_t>(i % kPlayers);
    float x = static_cast<float>(i % 1000);
    datagrams.push_back(testing::positionUpdate(id, 0, 100.0f, x, -x, 10.0f));
    if (chatEvery > 0 && i % chatEvery == 0) {
      datagrams.push_back(testing::chatLine(id, 0, "soak line " + std::to_string(i)));
    }
  }
  return datagrams;
}

uint64_t growth(const std::vector<uint64_t>& samples, size_t from) {
  if (samples.empty() || from >= samples.size()) return 0;
  uint64_t last = samples.back();
  return last > samples[from] ? last - samples[from] : 0;
}

}  // namespace

SoakRun measureSoak(const std::string& program, int seconds, int updatesPerSecond,
                    int chatPerSecond, int sampleSeconds) {
  SoakRun result;
  result.seconds = seconds;
  result.sampleSeconds = sampleSeconds;
  LiveClient client(std::string(kCountingScript), false, {}, std::nullopt, program);
  if (!client.connect(soakPlayers()) || sampleSeconds <= 0) return result;
  pid_t pid = client.process().pid();
  std::vector<Datagram> second = oneSecond(updatesPerSecond, chatPerSecond);
  Clock::time_point start = Clock::now();
  uint64_t sent = 0;
  int nextSample = 0;
  for (;;) {
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (elapsed >= nextSample) {
      std::optional<uint64_t> kib = testing::residentKiB(pid);
      if (!kib) return result;
      result.residentKiB.push_back(*kib);
      nextSample += sampleSeconds;
    }
    if (elapsed >= seconds) break;
    auto due = static_cast<uint64_t>(elapsed * static_cast<double>(second.size()));
    for (; sent < due; ++sent) client.peer().send(second[sent % second.size()]);
    client.drain();  // the client's answers, so that its peer's queue never fills
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  client.drain();
  auto perMinute = static_cast<size_t>(kMinuteSeconds / sampleSeconds);
  result.growthAfterFirstMinuteKiB = growth(result.residentKiB, perMinute);
  if (result.residentKiB.size() > perMinute) {
    result.lastMinuteGrowthKiB =
        growth(result.residentKiB, result.residentKiB.size() - 1 - perMinute);
  }
  result.complete = client.sync() && result.residentKiB.size() > perMinute;
  return result;
}

}  // namespace gsadmin::bench
