// The sanctions on a player on the server: warn, kick, tempban and ban, as
// the console, the admins in game and the scripts carry them out.

#include <algorithm>

#include "base/durations.h"
#include "console/printable.h"
#include "context/admin_actions.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "moderation/moderation_texts.h"

namespace gsadmin {
namespace {

// ": REASON" for an action's line, nothing when there is no reason.
std::string lineReason(const std::string& reason) {
  return reason.empty() ? std::string() : ": " + printable(reason);
}

// "Warning N of M" where a threshold gives M.
std::string warningCount(size_t active, const ModerationSettings& settings) {
  int64_t of = settings.warnBan > 0 ? settings.warnBan : settings.warnKick;
  std::string text = "Warning " + std::to_string(active);
  return of > 0 ? text + " of " + std::to_string(of) : text;
}

// The audit's detail: a tempban's length before its reason ("1h: flood").
std::string auditDetail(int64_t seconds, std::string_view reason) {
  if (seconds <= 0) return std::string(reason);
  std::string length = formatDuration(seconds);
  return reason.empty() ? length : length + ": " + std::string(reason);
}

}  // namespace

const Player* Moderation::actionTarget(const Actor& actor, uint8_t playerId, std::string* refusal) {
  const Player* player = session_.players().find(playerId);
  if (player == nullptr) {
    *refusal = "no player has id " + std::to_string(playerId);
  } else if (levelOf(*player) > actor.level) {
    *refusal = "you may not";
    player = nullptr;
  }
  return player;
}

std::string Moderation::warn(const Actor& actor, uint8_t playerId, std::string_view reason) {
  std::string refusal;
  const Player* player = actionTarget(actor, playerId, &refusal);
  if (player == nullptr) return refusal;
  std::string text = keptReason(reason);
  if (text.empty()) return "a reason is needed";
  std::string name = player->name;
  int64_t moment = now();
  std::optional<int64_t> until;
  if (settings_.warnExpirySeconds > 0) until = moment + settings_.warnExpirySeconds;
  sanctions_.record(name, kSanctionWarn, 0, until, text, actor.name, moment);
  // At least this one, even where a script's open transaction keeps the
  // record from being written yet.
  size_t active = std::max<size_t>(sanctions_.activeWarnings(name, moment).size(), 1);
  admin::sendMessage(session_, playerId, warningCount(active, settings_) + ": " + text);
  announce(actor, name, kSanctionWarn, 0, text,
           "* " + printable(actor.label()) + " warned " + printable(name) + " (" +
               std::to_string(active) + " active): " + printable(text));
  applyWarningThresholds(actor, playerId);
  return "";
}

std::string Moderation::kick(const Actor& actor, uint8_t playerId, std::string_view reason) {
  std::string refusal;
  const Player* player = actionTarget(actor, playerId, &refusal);
  if (player == nullptr) return refusal;
  std::string text = keptReason(reason);
  std::string name = player->name;
  admin::sendMessage(session_, playerId, "Kicked: " + shownReason(text));
  admin::kickPlayer(session_, playerId);
  removedByAct(playerId);
  sanctions_.record(name, kSanctionKick, 0, std::nullopt, text, actor.name, now());
  announce(actor, name, kSanctionKick, 0, text,
           "* " + printable(actor.label()) + " kicked " + printable(name) + lineReason(text));
  return "";
}

std::string Moderation::tempban(const Actor& actor, uint8_t playerId, int64_t seconds,
                                std::string_view reason) {
  std::string refusal;
  const Player* player = actionTarget(actor, playerId, &refusal);
  if (player == nullptr) return refusal;
  if (seconds < 1 || seconds > kMaxDurationSeconds) {
    return "a ban lasts from 1s to " + formatDuration(kMaxDurationSeconds);
  }
  std::string text = keptReason(reason);
  std::string name = player->name;
  int64_t moment = now();
  int64_t until = moment + seconds;
  admin::sendMessage(session_, playerId, banMessage(until, moment, text));
  admin::kickPlayer(session_, playerId);
  removedByAct(playerId);
  sanctions_.record(name, kSanctionTempban, seconds, until, text, actor.name, moment);
  announce(actor, name, kSanctionTempban, seconds, text,
           "* " + printable(actor.label()) + " banned " + printable(name) + " for " +
               formatDuration(seconds) + ", until " + formatUtcTime(until) + lineReason(text));
  return "";
}

std::string Moderation::ban(const Actor& actor, uint8_t playerId, std::string_view reason) {
  std::string refusal;
  const Player* player = actionTarget(actor, playerId, &refusal);
  if (player == nullptr) return refusal;
  std::string text = keptReason(reason);
  std::string name = player->name;
  admin::banPlayer(session_, playerId);
  removedByAct(playerId);
  // Kept by the client too, so that the name is refused at every join.
  sanctions_.record(name, kSanctionBan, 0, std::nullopt, text, actor.name, now());
  announce(actor, name, kSanctionBan, 0, text,
           "* " + printable(actor.label()) + " banned " + printable(name) + lineReason(text));
  return "";
}

void Moderation::announce(const Actor& actor, std::string_view name, std::string_view kind,
                          int64_t seconds, std::string_view reason, const std::string& line) {
  session_.console().line(line);
  sanctions_.audit(actor.label(), kind, name, auditDetail(seconds, reason), now());
  EventArgument arguments[] = {{true, 0, name},
                               {true, 0, kind},
                               {false, static_cast<int32_t>(seconds), {}},
                               {true, 0, reason},
                               {true, 0, actor.name}};
  session_.events().fire(Event::kPlayerSanctioned, arguments);
}

void Moderation::applyWarningThresholds(const Actor& actor, uint8_t playerId) {
  // The handlers of the warning may have changed the players.
  const Player* player = session_.players().find(playerId);
  if (player == nullptr) return;
  int64_t active = std::max<int64_t>(
      static_cast<int64_t>(sanctions_.activeWarnings(player->name, now()).size()), 1);
  std::string reason = std::to_string(active) + " warnings";
  if (settings_.warnBan > 0 && active >= settings_.warnBan) {
    tempban(actor, playerId, settings_.warnBanSeconds, reason);
  } else if (settings_.warnKick > 0 && active >= settings_.warnKick) {
    kick(actor, playerId, reason);
  }
}

}  // namespace gsadmin
