// The moderation commands' arguments: which player or name they mean, and
// their counts.

#include <algorithm>
#include <cctype>

#include "console/local_command.h"
#include "console/printable.h"
#include "context/player_target.h"
#include "context/session_context.h"
#include "model/player.h"
#include "moderation/moderation.h"
#include "moderation/moderation_commands.h"

namespace gsadmin {
namespace {

// Where the next shorter start than `start` (a prefix of `text`, which is
// trimmed) ends: at the last blank before its last word; 0 when there is
// none. Every blank of a run gives the same start, so each run is tried
// once and a line of many blanks costs no more than a short one.
size_t shorterStartEnd(std::string_view text, std::string_view start) {
  if (start.empty()) return 0;
  size_t end = text.rfind(' ', start.size() - 1);
  return end == std::string_view::npos ? 0 : end;
}

}  // namespace

ModerationCommands::Split ModerationCommands::splitAt(std::string_view text, size_t size) {
  size = std::min(size, text.size());
  return Split{std::string(trimmed(text.substr(0, size))), std::string(trimmed(text.substr(size)))};
}

std::optional<uint8_t> ModerationCommands::targetOnline(const Request& request,
                                                        std::string_view typed) {
  PlayerManager& players = moderation_.session().players();
  PlayerTarget target = targetPlayer(players, typed, request.command, true);
  // An id no player holds is the action's to refuse.
  if (target.id) return static_cast<uint8_t>(*target.id);
  if (request.actor.kind == Actor::Kind::kPlayer) {
    refuse(request, target.refusal.empty() ? "a player is needed" : target.refusal);
  } else if (target.refusal.empty()) {
    answer(request, request.command + " needs a player" + kHelpHint);
  } else {
    // The console's own diagnostics, as its other punishing commands print them.
    answer(request, target.refusal + (target.namedNobody ? kHelpHint : ""));
  }
  return std::nullopt;
}

ModerationCommands::Split ModerationCommands::splitPlayer(std::string_view text) const {
  PlayerManager& players = moderation_.session().players();
  // No longer start can be an id or a whole name: a long line costs no more.
  size_t longest = 3;
  for (const auto& player : players.all()) longest = std::max(longest, player->name.size());
  text = trimmed(text);
  for (size_t end = text.size(); end > 0;) {
    std::string_view start = trimmed(text.substr(0, end));
    if (start.size() <= longest && exactPlayer(players, start)) return splitAt(text, end);
    end = shorterStartEnd(text, start);
  }
  return splitAt(text, text.find(' '));
}

ModerationCommands::Split ModerationCommands::splitRecordedName(std::string_view text) {
  text = trimmed(text);
  for (size_t end = text.size(); end > 0;) {
    // Names are kept up to kMaxNameBytes: a longer start is none of them.
    std::string_view start = trimmed(text.substr(0, end));
    if (start.size() <= kMaxNameBytes && moderation_.history().find(start)) {
      return splitAt(text, end);
    }
    end = shorterStartEnd(text, start);
  }
  return splitAt(text, text.find(' '));
}

std::optional<size_t> ModerationCommands::count(const Request& request, std::string_view text,
                                                size_t fallback, size_t most) {
  text = trimmed(text);
  if (text.empty()) return fallback;
  size_t value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c)) || value > most) {
      value = 0;
      break;
    }
    value = value * 10 + static_cast<size_t>(c - '0');
  }
  if (value >= 1 && value <= most) return value;
  refuse(request, "N is a number from 1 to " + std::to_string(most));
  return std::nullopt;
}

}  // namespace gsadmin
