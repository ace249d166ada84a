#include "commands/target.h"

#include "console/printable.h"
#include "model/player_manager.h"
#include "moderation/record_store.h"

namespace gsadmin {
namespace {

bool sameName(std::string_view a, std::string_view b) {
  return nameKey(a) == nameKey(b);
}

const Player* byName(const PlayerManager& players, std::string_view name) {
  for (const auto& player : players.all()) {
    if (sameName(player->name, name)) return player.get();
  }
  return nullptr;
}

}  // namespace

const Player* onlineTarget(const PlayerManager& players, const Target& target,
                           std::string* refusal) {
  std::optional<Person> person = personTarget(players, target, refusal);
  if (person && person->online == nullptr) {
    *refusal = printable(person->name) + " is not on the server";
  }
  return person ? person->online : nullptr;
}

std::optional<Person> personTarget(const PlayerManager& players, const Target& target,
                                   std::string* refusal) {
  if (target.id) {
    const Player* holder = players.find(*target.id);
    if (holder != nullptr && (target.name.empty() || sameName(holder->name, target.name))) {
      return Person{holder, holder->name};
    }
    std::string id = "#" + std::to_string(*target.id);
    if (holder != nullptr) {
      *refusal = id + " is now " + printable(holder->name) + ", not " + printable(target.name) +
                 ": nothing done";
      return std::nullopt;
    }
    if (target.name.empty()) {
      *refusal = "no player has id " + std::to_string(*target.id);
      return std::nullopt;
    }
  }
  if (target.name.empty()) {
    *refusal = "a player is needed";
    return std::nullopt;
  }
  if (target.name.size() > kMaxNameBytes) {
    *refusal = "the name is too long";
    return std::nullopt;
  }
  if (const Player* online = byName(players, target.name)) return Person{online, online->name};
  return Person{nullptr, target.name};
}

}  // namespace gsadmin
