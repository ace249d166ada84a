#include "scenario_player.h"

#include <algorithm>
#include <cmath>

namespace gsadmin::sim {

ScenarioPlayer::ScenarioPlayer(const Scenario& scenario, GameServer& server, SimLog& log,
                               double speed, bool loop)
    : scenario_(scenario), server_(server), log_(log), speed_(speed), loop_(loop) {
  for (const OnlinePlayer& player : scenario_.settings.online) {
    if (Refusal refusal = server_.join(player.name, player.id, player.key)) {
      log_.line(scenario_.source + ":" + std::to_string(player.line) + ": skipped: " + *refusal);
    }
  }
}

void ScenarioPlayer::start(uint64_t nowMs) {
  if (started_) return;
  started_ = true;
  beginRound(nowMs);
}

void ScenarioPlayer::beginRound(uint64_t nowMs) {
  ++round_;
  roundStartMs_ = nowMs;
  next_ = 0;
  log_.startRound(nowMs, speed_);
  log_.line("round " + std::to_string(round_) + " of " + scenario_.source + " begins");
}

uint64_t ScenarioPlayer::realTime(uint64_t scenarioMs) const {
  return roundStartMs_ +
         static_cast<uint64_t>(std::llround(static_cast<double>(scenarioMs) / speed_));
}

void ScenarioPlayer::tick(uint64_t nowMs) {
  if (!started_ || finished_) return;
  while (next_ < scenario_.actions.size() && nowMs >= realTime(scenario_.actions[next_].timeMs)) {
    perform(scenario_.actions[next_]);
    ++next_;
  }
  // A looping round lasts at least a second, so an empty one does not spin.
  uint64_t length = loop_ ? std::max<uint64_t>(scenario_.lengthMs(), 1000) : scenario_.lengthMs();
  if (next_ < scenario_.actions.size() || nowMs < realTime(length)) return;
  log_.line("round " + std::to_string(round_) + " ends");
  if (!loop_) {
    finished_ = true;
    return;
  }
  restoreOnlineList();
  beginRound(nowMs);
}

void ScenarioPlayer::restoreOnlineList() {
  const std::vector<OnlinePlayer>& online = scenario_.settings.online;
  for (const std::string& name : server_.onlineNames()) {
    bool listed = std::any_of(online.begin(), online.end(),
                              [&](const OnlinePlayer& player) { return player.name == name; });
    if (!listed) server_.quit(name, 0);
  }
  for (const OnlinePlayer& player : online) {
    if (!server_.isOnline(player.name) && !server_.isBanned(player.name)) {
      server_.join(player.name, player.id, player.key);
    }
  }
}

void ScenarioPlayer::perform(const Action& action) {
  Refusal refusal;
  switch (action.verb) {
    case Verb::kJoin:
      refusal = server_.join(action.player, action.id, action.key);
      break;
    case Verb::kQuit:
      refusal = server_.quit(action.player, action.reason);
      break;
    case Verb::kChat:
      refusal = server_.chat(action.player, action.text);
      break;
    case Verb::kMessage:
      refusal = server_.privateMessage(action.player, action.recipient, action.text);
      break;
    case Verb::kAdminLine:
      server_.adminChannelLine(action.text);
      break;
    case Verb::kWalk:
      refusal = server_.walk(action.player, action.health, action.at);
      break;
    case Verb::kDrive:
      refusal = server_.drive(action.player, action.vehicle, action.health, action.at);
      break;
    case Verb::kRide:
      refusal = server_.ride(action.player, action.vehicle);
      break;
    case Verb::kKill:
      refusal = server_.death(action.player, action.killer, action.weaponId);
      break;
    case Verb::kDie:
    case Verb::kDrown:
      refusal = server_.death(action.player, std::nullopt, action.weaponId);
      break;
    case Verb::kDisconnect:
      server_.disconnectAdmin(action.reason);
      break;
    case Verb::kEnd:
      break;
  }
  if (refusal) {
    log_.line(scenario_.source + ":" + std::to_string(action.line) + ": " + verbName(action.verb) +
              " skipped: " + *refusal);
  }
}

}  // namespace gsadmin::sim
