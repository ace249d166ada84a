#ifndef GSADMIN_MODEL_PLAYER_MANAGER_H_
#define GSADMIN_MODEL_PLAYER_MANAGER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/player.h"
#include "model/registry.h"

namespace gsadmin {

// The players on the server, in the order they were added, at most one per
// id. Owns every Player; the World it belongs to drops a player from every
// vehicle before the record is destroyed.
class PlayerManager {
 public:
  PlayerManager() = default;
  PlayerManager(const PlayerManager&) = delete;
  PlayerManager& operator=(const PlayerManager&) = delete;

  // Destroys any player with this id (no event, no notice beyond the vehicle
  // clean-up), then appends a fresh record: info "Unknown", status 1, zero
  // counters, health 100, no vehicle, position (0, 0, 0). The reference stays
  // valid until that player is removed or replaced.
  Player& add(uint8_t id, std::string name);
  // The player with this id, or null. By index: every position update
  // looks its player up.
  Player* find(uint8_t id) const { return byId_[id]; }
  // Number of players (every record has a name, possibly empty).
  size_t count() const { return records_.size(); }
  // Takes the record out and destroys it; `player` dangles afterwards. A
  // record that is not in this manager is ignored.
  void remove(const Player& player);

  // A count of the players added and removed so far: taken when someone
  // begins to choose a player by id, it tells later whether the id still
  // means the same player.
  uint64_t mark() const { return changes_; }
  // The name of the player who held `id` at `mark`, as far as it is known
  // (the holder now, or the one who left it last); none otherwise.
  std::optional<std::string> heldAt(uint8_t id, uint64_t mark) const;

  const std::vector<std::unique_ptr<Player>>& all() const { return records_.all(); }
  // For the forget hook only: players come and go through add and remove,
  // which keep the index by id.
  Registry<Player>& registry() { return records_; }

 private:
  // The last player to leave an id: when they came and went.
  struct Departed {
    uint64_t addedAt = 0;
    uint64_t removedAt = 0;
    std::string name;
  };

  Registry<Player> records_;
  std::array<Player*, 256> byId_{};  // the records_ of each id
  uint64_t changes_ = 0;
  std::array<Departed, 256> departed_{};
};

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_PLAYER_MANAGER_H_
