#include "public_bench.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "live_client.h"
#include "panel_streams.h"
#include "support/panel_client.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kPlayer = 0;
constexpr int kRequestsPerSecond = 500;
constexpr int kLoadSeconds = 5;
constexpr int kRounds = 21;
constexpr int kBatch = 20000;
constexpr double kCpuTarget = 0.95;

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Requests paced at a rate on one connection, on a thread of their own,
// until stopped; each answer's latency and status booked.
class PacedLoad {
 public:
  PacedLoad(int port, int perSecond) : http_("127.0.0.1", port), perSecond_(perSecond) {
    http_.set_keep_alive(true);
    http_.set_read_timeout(10, 0);
    thread_ = std::thread([this] { run(); });
  }
  ~PacedLoad() { stop(); }

  void stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
  }
  // The latencies (ms) and failures booked since the last take().
  std::pair<std::vector<double>, int64_t> take() {
    std::lock_guard lock(mutex_);
    auto taken = std::make_pair(std::move(latencies_), failed_);
    latencies_.clear();
    failed_ = 0;
    return taken;
  }

 private:
  void run() {
    auto interval = std::chrono::microseconds(1000000 / perSecond_);
    auto next = Clock::now();
    for (int64_t i = 0; !stopping_; ++i) {
      std::this_thread::sleep_until(next);
      next += interval;
      std::string path = i % 2 == 0 ? "/api/bans?name=Bob" : "/api/bans/" + std::to_string(i % 7);
      auto start = Clock::now();
      httplib::Result result = http_.Get(path);
      double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      bool good = result && (result->status == 200 || result->status == 404);
      std::lock_guard lock(mutex_);
      latencies_.push_back(ms);
      if (!good) ++failed_;
    }
  }

  httplib::Client http_;
  int perSecond_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<double> latencies_;
  int64_t failed_ = 0;
  std::thread thread_;
};

std::vector<Datagram> positionBatch(int batch) {
  std::vector<Datagram> datagrams;
  for (int i = 0; i < batch; ++i) {
    float x = static_cast<float>(i % 1000);
    datagrams.push_back(testing::positionUpdate(kPlayer, 0, 100.0f, x, -x, 10.0f));
  }
  return datagrams;
}

}  // namespace

PublicLoad measurePublicLoad(int requestsPerSecond, int seconds, int rounds, int batch) {
  PublicLoad result;
  testing::TempDir withDir, withoutDir;
  LiveClient with(std::string(kCountingScript), true,
                  {"--public=127.0.0.1:0", "--db=" + withDir.path() + "/records.db"},
                  withDir.path());
  int port = testing::portOf(with.process(), "Public");
  LiveClient without(std::string(kCountingScript), false,
                     {"--db=" + withoutDir.path() + "/records.db"}, withoutDir.path());
  if (port == 0 || !with.connect({{kPlayer, "Bob", 0, true}}) ||
      !without.connect({{kPlayer, "Bob", 0, true}})) {
    return result;
  }
  PacedLoad load(port, requestsPerSecond);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  auto [latencies, failed] = load.take();
  result.answered = static_cast<int64_t>(latencies.size());
  result.failed = failed;
  result.perSecond = static_cast<double>(latencies.size()) / seconds;
  std::sort(latencies.begin(), latencies.end());
  result.medianMs = percentile(latencies, 0.5);
  result.p99Ms = percentile(latencies, 0.99);

  std::vector<Datagram> updates = positionBatch(batch);
  std::vector<double> withCpu, withoutCpu, cpuRatios, wallRatios;
  auto drainsStart = Clock::now();
  for (int round = 0; round < rounds; ++round) {
    DrainRound one = drainRound(with, updates);
    DrainRound other = drainRound(without, updates);
    if (one.loopCpuRate <= 0 || other.loopCpuRate <= 0) return result;
    withCpu.push_back(one.loopCpuRate);
    withoutCpu.push_back(other.loopCpuRate);
    cpuRatios.push_back(one.loopCpuRate / other.loopCpuRate);
    wallRatios.push_back(one.wallRate / other.wallRate);
  }
  double drainSeconds = std::chrono::duration<double>(Clock::now() - drainsStart).count();
  auto [during, failedDuring] = load.take();
  load.stop();
  result.loadPerSecondDuringDrains = static_cast<double>(during.size()) / drainSeconds;
  result.failed += failedDuring;
  result.withPerCpuSecond = median(withCpu);
  result.withoutPerCpuSecond = median(withoutCpu);
  result.cpuRatio = median(cpuRatios);
  result.wallRatio = median(wallRatios);
  result.complete = true;
  return result;
}

std::vector<ResultRow> publicRows() {
  std::printf("(p) public ban record\n");
  std::fflush(stdout);
  PublicLoad load = measurePublicLoad(kRequestsPerSecond, kLoadSeconds, kRounds, kBatch);
  std::vector<ResultRow> rows;
  char text[128];
  std::snprintf(text, sizeof text, "%.0f/s, %lld failed", load.perSecond,
                static_cast<long long>(load.failed));
  rows.push_back({"(p) public ban record, paced at 500/s on loopback: answered", text,
                  ">= 490/s, none failed",
                  load.complete && load.perSecond >= 490 && load.failed == 0});
  std::snprintf(text, sizeof text, "%.2f ms / %.2f ms", load.medianMs, load.p99Ms);
  rows.push_back({"(p) same, median / p99 latency", text, "", std::nullopt});
  std::snprintf(text, sizeof text, "%.0f/s / %.0f/s (%.2f)", load.withPerCpuSecond,
                load.withoutPerCpuSecond, load.cpuRatio);
  rows.push_back({"(p) Lua handler under a flood, per loop CPU second: 500/s public / none", text,
                  ">= 0.95", load.complete && load.cpuRatio >= kCpuTarget});
  std::snprintf(text, sizeof text, "%.2f, the load at %.0f/s meanwhile", load.wallRatio,
                load.loadPerSecondDuringDrains);
  rows.push_back(
      {"(p) same, per wall-clock second (shows the machine's load)", text, "", std::nullopt});
  return rows;
}

const char kPublicNotes[] =
    "- (p) The public ban record of the real binary (--public on loopback, the\n"
    "  moderation on a SQLite file): one kept-alive connection asks 500 times a\n"
    "  second, paced, for a name's bans and for one ban by number in turn. Then,\n"
    "  with that load going on, the same binary and one without --public drain a\n"
    "  position flood of 20 000 updates each with the counting script of (a), 21\n"
    "  rounds in turn, as (g) does; the ratio is the median of the rounds' ratios\n"
    "  of updates per second of the loop's on-CPU time.\n";

}  // namespace gsadmin::bench
