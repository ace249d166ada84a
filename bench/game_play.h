#ifndef GSADMIN_BENCH_GAME_PLAY_H_
#define GSADMIN_BENCH_GAME_PLAY_H_

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "live_client.h"

namespace gsadmin::bench {

using PlayClock = std::chrono::steady_clock;

// What the peer plays: position updates of every player in turn, chat
// lines each with a text of its own, and every `churnEveryMs` one player
// leaving and a new one joining with its details (a visit recorded).
struct PlayLoad {
  int players = 16;
  int updatesPerSecond = 1000;
  int chatPerSecond = 20;
  int churnEveryMs = 2000;
};

// One probe's measure, in ms, and when the probe was sent.
struct TimedSample {
  PlayClock::time_point at;
  double ms = 0;
};

// A steady game played to a live client by its peer while two probes
// time the client's loop: a keep-alive request every kLagEveryMs, whose
// round trip is the loop's lag, and every kJoinEveryMs a join of a probe
// player, every other one of a banned name, followed by a keep-alive
// request and timed until its answer, by which the join was handled and
// checked (and a banned player kicked). The client answers keep-alives in
// the order they came, so each answer is paired with the oldest request.
// Borrows the client, which must outlive it.
class GamePlay {
 public:
  static constexpr int kLagEveryMs = 10;
  static constexpr int kJoinEveryMs = 200;
  static constexpr uint8_t kProbeId = 200;

  // `banned`: names the client holds bans on (in another letter case at
  // the joins); `tag` starts every chat text, so that two clients' lines
  // differ.
  GamePlay(LiveClient& client, PlayLoad load, std::vector<std::string> banned, std::string tag);

  // LiveClient::connect() with the players of the game, each with details
  // of its own.
  bool connect();
  // Plays and probes until `until`, reading what the client sends as it
  // comes; `between` (if any) is called every 10 ms or so.
  void playUntil(PlayClock::time_point until, const std::function<void()>& between = {});
  // Probes no more and reads the answers still due, `timeoutMs` at most;
  // false when some never came.
  bool settle(int timeoutMs);

  const std::vector<TimedSample>& lags() const { return lags_; }
  const std::vector<TimedSample>& joins() const { return joins_; }
  uint64_t chatsSent() const { return chatsSent_; }
  // Visits started: the listed players' and those that joined since.
  uint64_t visits() const { return visits_; }
  // Probe joins that were kicked though not banned, or not kicked though
  // banned.
  uint64_t wrongChecks() const { return wrongChecks_; }

 private:
  struct Pending {
    PlayClock::time_point sent;
    bool join = false;
    bool banned = false;
  };

  void sendDue(PlayClock::time_point now);
  void sendGame(PlayClock::time_point now);
  void sendProbes(PlayClock::time_point now);
  void churn();
  void take(const Datagram& datagram, PlayClock::time_point now);
  void answered(PlayClock::time_point now);

  LiveClient& client_;
  PlayLoad load_;
  std::vector<std::string> banned_;
  std::string tag_;
  std::vector<std::string> names_;
  PlayClock::time_point start_;
  bool started_ = false;
  uint64_t updatesSent_ = 0;
  uint64_t chatsSent_ = 0;
  uint64_t churns_ = 0;
  uint64_t visits_ = 0;
  uint64_t joinsSent_ = 0;
  PlayClock::time_point nextLag_;
  PlayClock::time_point nextJoin_;
  bool joinWaiting_ = false;
  bool probeKicked_ = false;
  std::deque<Pending> pending_;
  std::vector<TimedSample> lags_;
  std::vector<TimedSample> joins_;
  uint64_t wrongChecks_ = 0;
};

// The `fraction` percentile (0 to 1, by rank) of the samples sent in
// [from, to), and how many there were; 0 for none.
double percentileIn(const std::vector<TimedSample>& samples, PlayClock::time_point from,
                    PlayClock::time_point to, double fraction, size_t* count = nullptr);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_GAME_PLAY_H_
