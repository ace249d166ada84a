#ifndef GSADMIN_TOOLS_SIM_SCENARIO_PLAYER_H_
#define GSADMIN_TOOLS_SIM_SCENARIO_PLAYER_H_

#include <cstddef>
#include <cstdint>

#include "game_server.h"
#include "scenario.h"
#include "sim_log.h"

namespace gsadmin::sim {

// Plays a checked scenario on a GameServer: puts the online players on the
// server at once, and from start() on carries out each timed line when its
// scenario time has come. Scenario time runs `speed` times as fast as real
// time. A line the world refuses at that moment (a player was kicked, say)
// is skipped with a log line naming it.
//
// Looping, a new round starts when one ends: players who are not on the
// online list leave, and online players who are missing come back (unless
// banned). Not looping, the player is finished after the first round.
class ScenarioPlayer {
 public:
  // `scenario`, `server` and `log` must outlive the player.
  ScenarioPlayer(const Scenario& scenario, GameServer& server, SimLog& log, double speed,
                 bool loop);

  // Starts round 1 at real time `nowMs`.
  void start(uint64_t nowMs);
  bool started() const { return started_; }

  // Carries out every line due at `nowMs`, and ends or restarts the round.
  void tick(uint64_t nowMs);

  // True once the round has ended, when not looping.
  bool finished() const { return finished_; }
  int round() const { return round_; }

 private:
  void perform(const Action& action);
  void beginRound(uint64_t nowMs);
  void restoreOnlineList();
  // Real time at which scenario time `scenarioMs` of this round is reached.
  uint64_t realTime(uint64_t scenarioMs) const;

  const Scenario& scenario_;
  GameServer& server_;
  SimLog& log_;
  double speed_;
  bool loop_;
  bool started_ = false;
  bool finished_ = false;
  int round_ = 0;
  uint64_t roundStartMs_ = 0;
  size_t next_ = 0;
};

}  // namespace gsadmin::sim

#endif  // GSADMIN_TOOLS_SIM_SCENARIO_PLAYER_H_
