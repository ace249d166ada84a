#include "console/local_command.h"

#include <algorithm>

#include "base/trimmed.h"
#include "console/completion.h"

namespace gsadmin {
namespace {

// The value of `text` as a decimal id, or none; bounded so that no digit
// string overflows.
std::optional<int> parseId(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

PlayerMatch fromCandidates(std::vector<PlayerEntry> candidates) {
  PlayerMatch match;
  if (candidates.empty()) return match;
  std::sort(candidates.begin(), candidates.end(),
            [](const PlayerEntry& a, const PlayerEntry& b) { return a.id < b.id; });
  match.kind = candidates.size() == 1 ? PlayerMatch::Kind::kOne : PlayerMatch::Kind::kAmbiguous;
  match.players = std::move(candidates);
  return match;
}

}  // namespace

std::optional<LocalCommand> splitLocalCommand(std::string_view line) {
  if (line.empty() || line.front() != '.') return std::nullopt;
  line.remove_prefix(1);
  size_t space = line.find(' ');
  if (space == std::string_view::npos) return LocalCommand{std::string(line), ""};
  return LocalCommand{std::string(line.substr(0, space)), std::string(line.substr(space + 1))};
}

PlayerMatch matchPlayer(std::string_view typed, const std::vector<PlayerEntry>& players) {
  typed = trimmed(typed);
  if (typed.empty()) return {};
  const PlayerEntry* byId = nullptr;
  if (std::optional<int> id = parseId(typed)) {
    for (const PlayerEntry& player : players) {
      if (player.id == *id) byId = &player;
    }
  }
  std::vector<PlayerEntry> whole;
  std::vector<PlayerEntry> prefixed;
  for (const PlayerEntry& player : players) {
    if (!startsWithIgnoringCase(player.name, typed)) continue;
    prefixed.push_back(player);
    if (player.name.size() == typed.size()) whole.push_back(player);
  }
  if (byId != nullptr) {
    std::vector<PlayerEntry> others;
    for (const PlayerEntry& player : whole) {
      if (player.id != byId->id) others.push_back(player);
    }
    if (others.empty()) return fromCandidates({*byId});
    PlayerMatch match = fromCandidates(std::move(others));
    match.kind = PlayerMatch::Kind::kIdAndName;
    match.players.insert(match.players.begin(), *byId);
    return match;
  }
  // "Bob" names Bob even while Bobby plays.
  if (!whole.empty()) return fromCandidates(std::move(whole));
  PlayerMatch match = fromCandidates(std::move(prefixed));
  match.startOfName = match.kind == PlayerMatch::Kind::kOne;
  return match;
}

}  // namespace gsadmin
