#include "context/player_target.h"

#include <vector>

#include "console/local_command.h"
#include "console/printable.h"
#include "model/player_manager.h"

namespace gsadmin {
namespace {

// `text` (spaces around it allowed) as a player id of the wire, 0 to 255.
std::optional<int> idText(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  size_t last = text.find_last_not_of(" \t");
  if (first == std::string_view::npos || last - first >= 3) return std::nullopt;
  int value = 0;
  for (char c : text.substr(first, last - first + 1)) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value <= 255 ? std::optional<int>(value) : std::nullopt;
}

// "3 Bob, 5 Bobby".
std::string playerList(const std::vector<PlayerEntry>& players) {
  std::string list;
  for (const PlayerEntry& player : players) {
    list += (list.empty() ? "" : ", ") + std::to_string(player.id) + " " + printable(player.name);
  }
  return list;
}

PlayerMatch match(const PlayerManager& players, std::string_view typed) {
  std::vector<PlayerEntry> entries;
  for (const auto& player : players.all()) entries.push_back({player->id, player->name});
  return matchPlayer(typed, entries);
}

PlayerTarget refused(std::string refusal, bool namedNobody = false) {
  return PlayerTarget{std::nullopt, std::move(refusal), namedNobody};
}

}  // namespace

PlayerTarget targetPlayer(const PlayerManager& players, std::string_view typed,
                          std::string_view command, bool wholeName) {
  PlayerMatch found = match(players, typed);
  std::string quoted = "'" + printable(typed) + "'";
  switch (found.kind) {
    case PlayerMatch::Kind::kOne: {
      const PlayerEntry& player = found.players.front();
      if (!found.startOfName || !wholeName) return PlayerTarget{player.id, "", false};
      return refused(quoted + " only starts the name of " + std::to_string(player.id) + " " +
                     printable(player.name) + "; " + std::string(command) +
                     " takes an id or a whole name");
    }
    case PlayerMatch::Kind::kNone:
      if (std::optional<int> id = idText(typed)) return PlayerTarget{id, "", false};
      if (typed.find_first_not_of(" \t") == std::string_view::npos) return refused("", true);
      return refused("no player matches " + quoted, true);
    case PlayerMatch::Kind::kAmbiguous:
      return refused(quoted + " matches " + std::to_string(found.players.size()) +
                     " players: " + playerList(found.players));
    case PlayerMatch::Kind::kIdAndName: {
      std::vector<PlayerEntry> named(found.players.begin() + 1, found.players.end());
      return refused(quoted + " is both the id of " + playerList({found.players.front()}) +
                     " and the name of " + playerList(named));
    }
  }
  return refused("", true);
}

std::optional<int> exactPlayer(const PlayerManager& players, std::string_view typed) {
  PlayerMatch found = match(players, typed);
  if (found.kind != PlayerMatch::Kind::kOne || found.startOfName) return std::nullopt;
  return found.players.front().id;
}

}  // namespace gsadmin
