#include "soak/expected_events.h"

#include <algorithm>

namespace gsadmin::testing {

const std::vector<std::string>& ExpectedEvents::eventNames() {
  static const std::vector<std::string> names = {
      "onConnect",
      "onDisconnect",
      "onPlayerJoin",
      "onPlayerQuit",
      "onPlayerChat",
      "onPlayerMessage",
      "onAdminChat",
      "onAdminMessage",
      "onPlayerPositionChange",
      "onPlayerHealthChange",
      "onVehicleHealthChange",
      "onPlayerVehicleEnter",
      "onPlayerVehicleExit",
  };
  return names;
}

ExpectedEvents::ExpectedEvents(int vehicleCount) : vehicleCount_(vehicleCount) {
  for (const std::string& name : eventNames()) counts_[name] = 0;
}

void ExpectedEvents::accepted(const std::vector<uint8_t>& listedIds) {
  // The roster is rebuilt: every vehicle is new, so nobody rides one.
  passengers_.clear();
  for (auto& [id, player] : players_) player.vehicle.reset();
  for (uint8_t id : listedIds) {
    add(id);
    ++detailsRequests_;
  }
  count("onConnect");
}

void ExpectedEvents::disconnected() {
  count("onDisconnect");
}

void ExpectedEvents::joined(uint8_t id) {
  add(id);
  ++detailsRequests_;
}

void ExpectedEvents::left(uint8_t id) {
  if (!known(id)) return;
  count("onPlayerQuit");
  destroy(id);
}

void ExpectedEvents::details(uint8_t id) {
  if (known(id)) count("onPlayerJoin");
}

void ExpectedEvents::position(uint8_t id, uint8_t state, float health) {
  if (state > 200 || !known(id)) return;
  Player& player = players_[id];
  count("onPlayerPositionChange");
  if (state == 0) {
    if (health != player.health) {
      player.health = health;
      count("onPlayerHealthChange");
    }
    if (player.vehicle) {
      player.vehicle.reset();
      count("onPlayerVehicleExit");
    }
    return;
  }
  int vehicle = state <= 100 ? state : state - 100;
  if (vehicle > vehicleCount_) return;
  std::vector<uint8_t>& riders = passengers_[vehicle];
  if (state > 100) {
    if (std::find(riders.begin(), riders.end(), id) == riders.end()) riders.push_back(id);
  } else {
    count("onVehicleHealthChange");
    riders.erase(std::remove(riders.begin(), riders.end(), id), riders.end());
    // Every remaining passenger moves with the driver.
    for (size_t i = 0; i < riders.size(); ++i) count("onPlayerPositionChange");
  }
  if (player.vehicle != vehicle) {
    player.vehicle = vehicle;
    count("onPlayerVehicleEnter");
  }
}

void ExpectedEvents::chat(uint8_t sender, uint8_t status, std::string_view text) {
  // The body: sender, status, text, NUL.
  size_t bodyLength = 2 + text.size() + 1;
  if (status == 3) {
    bool confirmation = bodyLength > 10 && text.substr(0, 6) == "/msgr ";
    count(confirmation ? "onAdminMessage" : "onAdminChat");
    return;
  }
  if (!known(sender)) return;
  count(text.substr(0, 5) == "/msg " ? "onPlayerMessage" : "onPlayerChat");
}

std::vector<uint8_t> ExpectedEvents::knownIds() const {
  std::vector<uint8_t> ids;
  for (const auto& [id, player] : players_) ids.push_back(id);
  return ids;
}

float ExpectedEvents::health(uint8_t id) const {
  auto it = players_.find(id);
  return it == players_.end() ? 100.0f : it->second.health;
}

void ExpectedEvents::add(uint8_t id) {
  // A player added under a registered id replaces the old record.
  destroy(id);
  players_[id] = Player();
}

void ExpectedEvents::destroy(uint8_t id) {
  if (players_.erase(id) == 0) return;
  for (auto& [vehicle, riders] : passengers_) {
    riders.erase(std::remove(riders.begin(), riders.end(), id), riders.end());
  }
}

}  // namespace gsadmin::testing
