#include "model/player_manager.h"

#include <utility>

namespace gsadmin {

Player& PlayerManager::add(uint8_t id, std::string name) {
  if (Player* replaced = find(id)) {
    departed_[id] = {replaced->addedAt, changes_ + 1, replaced->name};
  }
  auto player = std::make_unique<Player>(id, std::move(name));
  player->addedAt = ++changes_;
  Player& added = records_.addOrReplace(std::move(player), find(id));
  byId_[id] = &added;
  return added;
}

void PlayerManager::remove(const Player& player) {
  if (find(player.id) == &player) {
    departed_[player.id] = {player.addedAt, ++changes_, player.name};
    byId_[player.id] = nullptr;
  }
  records_.remove(player);
}

std::optional<std::string> PlayerManager::heldAt(uint8_t id, uint64_t mark) const {
  if (const Player* holder = find(id); holder != nullptr && holder->addedAt <= mark) {
    return holder->name;
  }
  const Departed& last = departed_[id];
  if (last.addedAt != 0 && last.addedAt <= mark && last.removedAt > mark) return last.name;
  return std::nullopt;
}

}  // namespace gsadmin
