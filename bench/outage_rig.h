#ifndef GSADMIN_BENCH_OUTAGE_RIG_H_
#define GSADMIN_BENCH_OUTAGE_RIG_H_

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "game_play.h"
#include "panel_probe.h"
#include "panel_streams.h"
#include "support/http_test_server.h"
#include "support/postgres_server.h"

namespace gsadmin::bench {

// Makes the moderation's tables in the database at `uri` as a client
// does, then adds `bans` tempbans of a day on "ban0", "ban1"... (without
// skeletons: they are found by their keys). Empty, or what failed.
std::string prepareBans(const std::string& uri, int bans);
// Eight of those names, spread over them, for the probe's banned joins.
std::vector<std::string> probeBans(int bans);

// What one run of the outage bench set up: on a fresh database of a
// PostgreSQL server the bench started, holding kBans bans, client "alpha"
// (the one measured) with its journal, its panel with 20 event streams
// open and a probe of its answers, and a script that posts every chat line
// to a webhook target that answers; client "beta", a second client of the
// fleet on the same database, with a lighter game of its own. Both are
// played to by their peers. Owns them all.
class OutageRig {
 public:
  static constexpr int kBans = 1000;
  static constexpr int kStreams = 20;
  // The panel probe's paths: an answer made on the loop, and a read of the
  // records (the loop writes what waits first, a reader reads).
  static constexpr size_t kLoopAnswer = 0;
  static constexpr size_t kRecordsRead = 1;

  // `database`: the name of the fresh database made for this run;
  // `program`: the client that runs as alpha and beta.
  OutageRig(testing::PostgresServer& server, const std::string& database,
            const std::string& program);
  ~OutageRig();
  OutageRig(const OutageRig&) = delete;
  OutageRig& operator=(const OutageRig&) = delete;

  // Whether everything started and logged in; failure() says what did not.
  bool ok() const { return failure_.empty(); }
  const std::string& failure() const { return failure_; }

  // Plays both games until `until`, reading the streams and the output.
  void play(PlayClock::time_point until);
  // Plays until the database holds as many chat rows as each client had
  // been sent when called (they write in order: what came before is there
  // too), or until `giveUp`; when that was, if it came.
  std::optional<PlayClock::time_point> playUntilWritten(PlayClock::time_point giveUp);
  // Reads what the clients send and print until `until`, playing nothing.
  void idle(PlayClock::time_point until);
  // Ends the probes (the panel's, then the game's, waiting for its
  // answers); false when some never came.
  bool endProbes();

  // The webhook target's silence: every request from now on goes to a
  // listener that accepts and never answers, or back to the one that
  // answers. Any thread.
  void setHookSilent(bool silent);
  // The second client's process.
  testing::ClientProcess& beta() { return beta_->process(); }

  const GamePlay& game() const { return *game_; }
  const PanelProbe& panel() const { return *probe_; }
  uint64_t betaChats() const { return betaChats_; }
  // Rows of `table` recorded by `server` ("alpha" or "beta") and their
  // distinct values of `column`; -1 when the database cannot be read.
  int64_t countRows(const char* table, const char* server, const char* column, bool distinct);

 private:
  bool startAlpha(const std::string& uri, const std::string& program);
  bool startBeta(const std::string& uri, const std::string& program);
  void between(bool playing);
  // On a thread of its own (a connection may wait for the server): the
  // chat rows of each client, every kCountEveryMs, -1 while unknown.
  void countChat();
  static constexpr int kCountEveryMs = 250;

  testing::PostgresServer& server_;
  testing::TempDir dir_;
  std::string uri_;
  std::string failure_;
  testing::HttpTestServer target_;
  testing::SilentServer silent_;
  PanelClient panel_;
  std::unique_ptr<GamePlay> game_;
  QuietStreams streams_;
  std::unique_ptr<PanelProbe> probe_;
  std::unique_ptr<LiveClient> beta_;
  PlayClock::time_point betaStart_;
  uint64_t betaChats_ = 0;
  uint64_t betaUpdates_ = 0;
  std::mutex adminLineMutex_;
  std::optional<std::string> adminLine_;  // for alpha's script, sent by the playing thread
  std::atomic<int64_t> alphaRows_{-1};
  std::atomic<int64_t> betaRows_{-1};
  std::atomic<bool> ending_{false};
  std::thread counter_;
};

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_OUTAGE_RIG_H_
