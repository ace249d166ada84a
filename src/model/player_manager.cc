#include "model/player_manager.h"

#include <utility>

namespace gsadmin {

Player& PlayerManager::add(uint8_t id, std::string name) {
  return records_.addOrReplace(std::make_unique<Player>(id, std::move(name)), find(id));
}

Player* PlayerManager::find(uint8_t id) const {
  return records_.findFirst([id](const Player& player) { return player.id == id; });
}

}  // namespace gsadmin
