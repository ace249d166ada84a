#include "reconnect_bench.h"

#include <cstdio>
#include <optional>
#include <thread>

#include "game_play.h"
#include "outage_rig.h"
#include "support/client_process.h"
#include "support/postgres_server.h"
#include "support/proc_stats.h"

namespace gsadmin::bench {
namespace {

constexpr int kBans = 1000000;
constexpr auto kReadLimit = std::chrono::seconds(180);
constexpr auto kSlice = std::chrono::milliseconds(100);

double secondsBetween(PlayClock::time_point from, PlayClock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// The bans' reader is the one thread beside the loop's: a reading is over
// once the count is back to one after it was more.
class ReaderWatch {
 public:
  explicit ReaderWatch(pid_t pid) : pid_(pid) {}
  void look() {
    if (done_) return;
    int threads = testing::threadCount(pid_).value_or(0);
    if (threads > 1) {
      seen_ = true;
    } else if (seen_) {
      done_ = PlayClock::now();
    }
  }
  const std::optional<PlayClock::time_point>& done() const { return done_; }

 private:
  pid_t pid_;
  bool seen_ = false;
  std::optional<PlayClock::time_point> done_;
};

bool awaitOneThread(pid_t pid) {
  PlayClock::time_point giveUp = PlayClock::now() + kReadLimit;
  while (testing::threadCount(pid).value_or(0) > 1 && PlayClock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return testing::threadCount(pid).value_or(0) == 1;
}

// Stops the server, plays kAwaySeconds, starts it again and plays until
// the bans were read again and kAfterSeconds more; the window's bounds.
struct Window {
  PlayClock::time_point stopped, started, over;
  std::optional<PlayClock::time_point> reread;
  bool serverCameBack = false;
};

Window restartServer(testing::PostgresServer& server, GamePlay& game, pid_t pid) {
  Window window;
  window.stopped = PlayClock::now();
  std::thread stopping([&server]() { server.stopGracefully(); });
  game.playUntil(window.stopped + std::chrono::seconds(kAwaySeconds));
  stopping.join();
  ReaderWatch watch(pid);
  std::thread starting([&]() {
    window.serverCameBack = server.start();
    window.started = PlayClock::now();
  });
  PlayClock::time_point giveUp = PlayClock::now() + kReadLimit;
  while (!watch.done() && PlayClock::now() < giveUp) {
    game.playUntil(PlayClock::now() + kSlice, [&watch]() { watch.look(); });
  }
  starting.join();
  window.reread = watch.done();
  if (window.reread) game.playUntil(*window.reread + std::chrono::seconds(kAfterSeconds));
  window.over = PlayClock::now();
  return window;
}

}  // namespace

ReconnectRun measureReconnect(int bans, const std::string& program) {
  ReconnectRun run;
  std::printf("(n) reconnection with %d bans\n", bans);
  std::fflush(stdout);
  if (!testing::PostgresServer::binaries()) {
    run.failure = testing::PostgresServer::kMissing;
    return run;
  }
  testing::PostgresServer server;
  std::string uri = server.running() ? server.createDatabase("reconnect") : "";
  std::string prepared = uri.empty() ? server.failure() : prepareBans(uri, bans);
  if (!prepared.empty()) {
    run.failure = prepared;
    return run;
  }
  testing::TempDir dir;
  LiveClient client(
      std::nullopt, false,
      {"--db=" + uri, "--journal=" + dir.path() + "/journal.db", "--server-name=alpha"}, dir.path(),
      program);
  GamePlay game(client, PlayLoad{}, probeBans(bans), "a");
  pid_t pid = client.process().pid();
  if (!game.connect() || !awaitOneThread(pid)) {
    run.failure = "the client did not start and read the bans";
    return run;
  }
  PlayClock::time_point start = PlayClock::now();
  game.playUntil(start + std::chrono::seconds(kBeforeSeconds));
  Window window = restartServer(server, game, pid);
  bool answered = game.settle(10000);
  run.baseLagP99Ms = percentileIn(game.lags(), start, window.stopped, 0.99);
  run.baseLagMaxMs = percentileIn(game.lags(), start, window.stopped, 1.0);
  run.lagP99Ms = percentileIn(game.lags(), window.stopped, window.over, 0.99, &run.lagSamples);
  run.lagMaxMs = percentileIn(game.lags(), window.stopped, window.over, 1.0);
  run.joinP99Ms = percentileIn(game.joins(), window.stopped, window.over, 0.99);
  run.joinMaxMs = percentileIn(game.joins(), window.stopped, window.over, 1.0);
  run.wrongChecks = game.wrongChecks();
  run.reread = window.reread.has_value() && window.serverCameBack && answered;
  if (window.reread) run.rereadSeconds = secondsBetween(window.started, *window.reread);
  run.windowSeconds = secondsBetween(window.stopped, window.over);
  run.ran = true;
  return run;
}

void addReconnectRows(const ReconnectRun& run, int bans, const std::string& label,
                      std::vector<ResultRow>& rows) {
  std::string prefix = "(n) reconnection, " + std::to_string(bans) + " bans" +
                       (label.empty() ? "" : " (" + label + ")") + ": ";
  if (!run.ran) {
    rows.push_back({prefix + "not run", run.failure, "", false});
    return;
  }
  char text[160];
  std::snprintf(text, sizeof text, "%.1f ms / %.1f ms (%zu samples over %.0f s)", run.lagP99Ms,
                run.lagMaxMs, run.lagSamples, run.windowSeconds);
  rows.push_back({prefix + "loop lag from the stop until 5 s after the bans are read again, "
                           "p99 / max",
                  text, "p99 < 50 ms", run.reread && run.lagP99Ms < 50});
  std::snprintf(text, sizeof text, "%.1f ms / %.1f ms", run.baseLagP99Ms, run.baseLagMaxMs);
  rows.push_back({prefix + "same, the 10 s before the stop", text, "", std::nullopt});
  std::snprintf(text, sizeof text, "%.1f ms / %.1f ms, %llu wrong", run.joinP99Ms, run.joinMaxMs,
                static_cast<unsigned long long>(run.wrongChecks));
  rows.push_back({prefix + "ban check at join over the same window, p99 / max", text, "none wrong",
                  run.wrongChecks == 0});
  std::snprintf(text, sizeof text, "%.1f s", run.rereadSeconds);
  rows.push_back({prefix + "server started to the bans read again", text, "", run.reread});
}

std::vector<ResultRow> reconnectRows(const std::string& before) {
  std::vector<ResultRow> rows;
  if (!before.empty()) addReconnectRows(measureReconnect(kBans, before), kBans, "before", rows);
  addReconnectRows(measureReconnect(kBans, testing::ClientProcess::defaultBinary()), kBans,
                   before.empty() ? "" : "now", rows);
  return rows;
}

const char kReconnectNotes[] =
    "- (n) Reconnection: the real binary with its journal on a PostgreSQL server\n"
    "  the bench starts (as in (h)), whose database holds 1 000 000 tempbans\n"
    "  (inserted 100 000 a statement). Once it has read them (its reader's thread\n"
    "  has ended), its peer plays the game of the outages below with the same\n"
    "  probes (a keep-alive every 10 ms, a join every 200 ms, every other one\n"
    "  banned); after 10 s the server is stopped (`pg_ctl stop`, fast), 3 s later\n"
    "  started; the client reconnects (its back-off: 1 s, then 2 s...) and reads\n"
    "  every ban again, the notices of the time away being lost. The window runs\n"
    "  from the stop until 5 s after that reading is over (the reader's thread\n"
    "  has ended again).\n";

}  // namespace gsadmin::bench
