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

// "Warning N of M before a kick" (or "a ban"), M the threshold that acts
// next: the kick's below it (and at it when no ban follows), then the
// ban's up to and at it; "Warning N" past them or without any. A kick
// threshold at or above the ban's never acts.
std::string warningCount(size_t active, const ModerationSettings& settings) {
  auto count = static_cast<int64_t>(active);
  bool kickActs =
      settings.warnKick > 0 && (settings.warnBan <= 0 || settings.warnKick < settings.warnBan);
  std::string text = "Warning " + std::to_string(active);
  if (kickActs &&
      (count < settings.warnKick || (settings.warnBan <= 0 && count == settings.warnKick))) {
    return text + " of " + std::to_string(settings.warnKick) + " before a kick";
  }
  if (settings.warnBan > 0 && count <= settings.warnBan) {
    return text + " of " + std::to_string(settings.warnBan) + " before a ban";
  }
  return text;
}

// The audit's detail: a tempban's length before its reason ("1h: flood").
std::string auditDetail(int64_t seconds, std::string_view reason) {
  if (seconds <= 0) return std::string(reason);
  std::string length = formatDuration(seconds);
  return reason.empty() ? length : length + ": " + std::string(reason);
}

}  // namespace

std::string Moderation::rankRefusal(const Actor& actor, const Person& person) const {
  int level = person.online ? levelOf(*person.online) : 0;
  if (!person.online) {
    if (std::optional<AdminRecord> admin = admins_.find(person.name)) level = admin->level;
  }
  return level > actor.level ? "you may not" : "";
}

std::string Moderation::unseenMark(const Person& person) {
  if (person.online || history_.find(person.name)) return "";
  return " (never seen)";
}

std::string Moderation::warn(const Actor& actor, const Person& person, std::string_view reason) {
  if (std::string refusal = rankRefusal(actor, person); !refusal.empty()) return refusal;
  std::string text = keptReason(reason);
  if (text.empty()) return "a reason is needed";
  const std::string& name = person.name;
  int64_t moment = now();
  std::optional<int64_t> until;
  if (settings_.warnExpirySeconds > 0) until = moment + settings_.warnExpirySeconds;
  sanctions_.record(name, kSanctionWarn, 0, until, text, actor.name, moment);
  // At least this one, even where a script's open transaction keeps the
  // record from being written yet.
  size_t active = std::max<size_t>(sanctions_.activeWarnings(name, moment).size(), 1);
  std::optional<PlayerMark> online;
  if (person.online) {
    online = PlayerMark{person.online->id, person.online->addedAt};
    admin::sendMessage(session_, online->id, warningCount(active, settings_) + ": " + text);
  }
  announce(actor, name, kSanctionWarn, 0, text,
           "* " + printable(actor.label()) + " warned " + printable(name) + unseenMark(person) +
               " (" + std::to_string(active) + " active): " + printable(text));
  applyWarningThresholds(actor, Person{nullptr, name}, online);
  return "";
}

std::string Moderation::kick(const Actor& actor, const Player& player, std::string_view reason,
                             bool plain) {
  if (std::string refusal = rankRefusal(actor, Person{&player, player.name}); !refusal.empty()) {
    return refusal;
  }
  std::string text = keptReason(reason);
  std::string name = player.name;
  uint8_t id = player.id;
  if (!plain) admin::sendMessage(session_, id, "Kicked: " + shownReason(text));
  admin::kickPlayer(session_, id);
  removedByAct(id);
  sanctions_.record(name, kSanctionKick, 0, std::nullopt, text, actor.name, now());
  announce(actor, name, kSanctionKick, 0, text,
           plain
               ? ""
               : "* " + printable(actor.label()) + " kicked " + printable(name) + lineReason(text));
  return "";
}

std::string Moderation::tempban(const Actor& actor, const Person& person, int64_t seconds,
                                std::string_view reason) {
  if (std::string refusal = rankRefusal(actor, person); !refusal.empty()) return refusal;
  if (seconds < 1 || seconds > kMaxDurationSeconds) {
    return "a ban lasts from 1s to " + formatDuration(kMaxDurationSeconds);
  }
  std::string text = keptReason(reason);
  std::string name = person.name;
  std::string unseen = unseenMark(person);
  int64_t moment = now();
  int64_t until = moment + seconds;
  // Recorded first: the player's message says the ban's number.
  sanctions_.record(name, kSanctionTempban, seconds, until, text, actor.name, moment);
  int64_t number = sanctions_.lastNumber();
  if (person.online) {
    admin::sendMessage(session_, person.online->id,
                       banMessage(number, until, moment, text, settings_.appealUrl));
    admin::kickPlayer(session_, person.online->id);
    removedByAct(person.online->id);
  }
  announce(actor, name, kSanctionTempban, seconds, text,
           "* " + printable(actor.label()) + " banned " + printable(name) + unseen + " for " +
               formatDuration(seconds) + ", until " + formatUtcTime(until) + lineReason(text));
  return "";
}

std::string Moderation::ban(const Actor& actor, const Person& person, std::string_view reason,
                            bool plain) {
  if (std::string refusal = rankRefusal(actor, person); !refusal.empty()) return refusal;
  std::string text = keptReason(reason);
  std::string name = person.name;
  std::string unseen = unseenMark(person);
  if (person.online) {
    admin::banPlayer(session_, person.online->id);
    removedByAct(person.online->id);
  }
  // Kept by the client too, so that the name is refused at every join.
  sanctions_.record(name, kSanctionBan, 0, std::nullopt, text, actor.name, now());
  announce(actor, name, kSanctionBan, 0, text,
           plain ? ""
                 : "* " + printable(actor.label()) + " banned " + printable(name) + unseen +
                       lineReason(text));
  return "";
}

void Moderation::auditAct(const Actor& actor, std::string_view kind, std::string_view name,
                          std::string_view text) {
  sanctions_.audit(actor.label(), kind, name, text, now());
}

void Moderation::announce(const Actor& actor, std::string_view name, std::string_view kind,
                          int64_t seconds, std::string_view reason, const std::string& line) {
  if (!line.empty()) {
    session_.console().entry(LogEntry(LogKind::kSanction, line)
                                 .add("name", name)
                                 .add("sanction", kind)
                                 .add("seconds", seconds)
                                 .add("reason", reason)
                                 .add("actor", actor.label()));
  }
  sanctions_.auditLast(actor.label(), kind, name, auditDetail(seconds, reason), now());
  EventArgument arguments[] = {{true, 0, name},
                               {true, 0, kind},
                               {false, static_cast<int32_t>(seconds), {}},
                               {true, 0, reason},
                               {true, 0, actor.name}};
  session_.events().fire(Event::kPlayerSanctioned, arguments);
}

void Moderation::applyWarningThresholds(const Actor& actor, Person now,
                                        std::optional<PlayerMark> online) {
  // The handlers of the warning may have changed the players: the player
  // warned is acted on only while still on the server.
  if (online) {
    const Player* player = session_.players().find(online->id);
    if (player == nullptr || player->addedAt != online->addedAt) return;
    now.online = player;
  }
  int64_t active = std::max<int64_t>(
      static_cast<int64_t>(sanctions_.activeWarnings(now.name, this->now()).size()), 1);
  std::string reason = std::to_string(active) + " warnings";
  if (settings_.warnBan > 0 && active >= settings_.warnBan) {
    tempban(actor, now, settings_.warnBanSeconds, reason);
  } else if (settings_.warnKick > 0 && active >= settings_.warnKick && now.online) {
    kick(actor, *now.online, reason);
  }
}

}  // namespace gsadmin
