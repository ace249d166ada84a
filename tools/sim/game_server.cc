#include "game_server.h"

#include <algorithm>

#include "gamedata/vehicle_rosters.h"
#include "protocol/wire.h"
#include "scenario_check.h"
#include "sim/server_messages.h"

namespace gsadmin::sim {
namespace {

namespace build = gsadmin::testing;

// Killer bytes of the admin and of nobody.
constexpr uint8_t kAdminKillerId = gsadmin::wire::kKillerAdmin;
constexpr uint8_t kNoKillerId = gsadmin::wire::kNoKiller;

const char* quitLabel(uint8_t reason) {
  switch (reason) {
    case gsadmin::wire::kQuitKicked:
      return "kicked";
    case gsadmin::wire::kQuitTimedOut:
      return "timed out";
    default:
      return "left";
  }
}

}  // namespace

GameServer::GameServer(ServerSetup setup, Clock& clock, DatagramSink& sink, SimLog& log)
    : setup_(std::move(setup)), clock_(clock), sink_(sink), log_(log) {
  for (int id = 1; id <= 100; ++id) {
    if (const Roster* roster = rosterFor(setup_.game, setup_.mode);
        roster != nullptr && roster->hasSpawnpoints &&
        id <= static_cast<int>(roster->vehicles.size())) {
      const RosterEntry& entry = roster->vehicles[static_cast<size_t>(id - 1)];
      vehicles_[static_cast<size_t>(id)].position = Point{entry.x, entry.y, entry.z};
    }
  }
}

// ---- The world ----

Refusal GameServer::join(const std::string& name, std::optional<uint8_t> id,
                         const std::optional<std::string>& key) {
  if (isBanned(name)) return name + " is banned: join refused";
  if (findByName(name) != nullptr) return name + " is already on the server";
  if (players_.size() >= setup_.maxPlayers) {
    return "the server is full (" + std::to_string(players_.size()) + "/" +
           std::to_string(setup_.maxPlayers) + "): " + name + " cannot join";
  }
  std::optional<uint8_t> given = freeId(id);
  if (!given) return "no free id for " + name;
  SimPlayer player;
  player.id = *given;
  player.name = name;
  player.key = key;
  players_.push_back(player);
  std::string note = id && *id != *given ? " (id " + std::to_string(*id) + " was taken)" : "";
  log_.line(name + " joins (id " + std::to_string(*given) + ")" + note);
  send(build::playerJoined(*given, name));
  return std::nullopt;
}

Refusal GameServer::quit(const std::string& name, uint8_t reason) {
  auto it = std::find_if(players_.begin(), players_.end(),
                         [&](const SimPlayer& player) { return player.name == name; });
  if (it == players_.end()) return name + " is not on the server";
  uint8_t id = it->id;
  leaveVehicle(*it);
  players_.erase(it);
  log_.line(name + " quits (" + quitLabel(reason) + ")");
  send(build::playerLeft(reason, id));
  return std::nullopt;
}

Refusal GameServer::chat(const std::string& name, const std::string& text) {
  SimPlayer* player = findByName(name);
  if (player == nullptr) return name + " is not on the server";
  log_.line(name + " says: " + text);
  send(build::chatLine(player->id, 0, text));
  return std::nullopt;
}

Refusal GameServer::privateMessage(const std::string& name, const std::string& recipient,
                                   const std::string& text) {
  SimPlayer* player = findByName(name);
  if (player == nullptr) return name + " is not on the server";
  log_.line(name + " to " + recipient + ": " + text);
  send(build::chatLine(player->id, 0, "/msg " + recipient + " " + text));
  return std::nullopt;
}

void GameServer::adminChannelLine(const std::string& text) {
  log_.line("admin channel: " + text);
  send(build::chatLine(0, 3, text));
}

Refusal GameServer::walk(const std::string& name, std::optional<float> health,
                         std::optional<Point> at) {
  SimPlayer* player = findByName(name);
  if (player == nullptr) return name + " is not on the server";
  int left = player->vehicle;
  leaveVehicle(*player);
  player->health = health.value_or(player->health);
  player->position = at.value_or(player->position);
  std::string line = name + " on foot, health " + formatNumber(player->health) + " at " +
                     pointLabel(player->position);
  if (left != 0) line += ", out of " + vehicleLabel(left);
  log_.line(line);
  sendFootUpdate(*player);
  return std::nullopt;
}

Refusal GameServer::drive(const std::string& name, int vehicle, std::optional<float> health,
                          std::optional<Point> at) {
  SimPlayer* player = findByName(name);
  if (player == nullptr) return name + " is not on the server";
  if (vehicle < 1 || vehicle > 100) return "no vehicle " + std::to_string(vehicle);
  if (player->vehicle != vehicle) leaveVehicle(*player);
  SimVehicle& car = vehicles_[static_cast<size_t>(vehicle)];
  if (car.driver && *car.driver != player->id) {
    // The previous driver is pushed out onto the street.
    if (SimPlayer* previous = findById(*car.driver)) previous->vehicle = 0;
  }
  car.driver = player->id;
  car.health = health.value_or(car.health);
  car.position = at.value_or(car.position);
  player->vehicle = vehicle;
  player->passenger = false;
  player->position = car.position;
  for (SimPlayer& other : players_) {
    if (other.vehicle == vehicle && other.passenger) other.position = car.position;
  }
  log_.line(name + " drives " + vehicleLabel(vehicle) + ", health " + formatNumber(car.health) +
            " at " + pointLabel(car.position));
  Point p = car.position;
  send(build::positionUpdate(player->id, static_cast<uint8_t>(vehicle), car.health, p.x, p.y, p.z));
  return std::nullopt;
}

Refusal GameServer::ride(const std::string& name, int vehicle) {
  SimPlayer* player = findByName(name);
  if (player == nullptr) return name + " is not on the server";
  if (vehicle < 1 || vehicle > 100) return "no vehicle " + std::to_string(vehicle);
  if (player->vehicle != vehicle) leaveVehicle(*player);
  SimVehicle& car = vehicles_[static_cast<size_t>(vehicle)];
  if (car.driver == player->id) car.driver.reset();
  player->vehicle = vehicle;
  player->passenger = true;
  player->position = car.position;
  log_.line(name + " rides in " + vehicleLabel(vehicle));
  Point p = car.position;
  send(build::positionUpdate(player->id, static_cast<uint8_t>(100 + vehicle), player->health, p.x,
                             p.y, p.z));
  return std::nullopt;
}

Refusal GameServer::death(const std::string& victimName, std::optional<std::string> killerName,
                          uint8_t weapon) {
  SimPlayer* victim = findByName(victimName);
  if (victim == nullptr) return victimName + " is not on the server";
  uint8_t killerId = kNoKillerId;
  std::string line;
  if (killerName && *killerName == kAdminKiller) {
    killerId = kAdminKillerId;
    line = "the admin kills " + victimName;
  } else if (killerName) {
    SimPlayer* killer = findByName(*killerName);
    if (killer == nullptr) return *killerName + " is not on the server";
    killerId = killer->id;
    line = killer == victim ? victimName + " kills himself with " + weaponLabel(weapon)
                            : *killerName + " kills " + victimName + " with " + weaponLabel(weapon);
  } else {
    line = victimName + " dies (" + weaponLabel(weapon) + ")";
  }
  log_.line(line);
  leaveVehicle(*victim);
  victim->health = 0.0f;
  sendFootUpdate(*victim);
  send(build::deathReport(victim->id, killerId, weapon));
  victim->health = 100.0f;
  sendFootUpdate(*victim);
  return std::nullopt;
}

void GameServer::disconnectAdmin(uint8_t reason) {
  if (!admin_) {
    log_.line("disconnect (reason " + std::to_string(reason) + "): no admin is logged in");
    return;
  }
  log_.line("the server disconnects the admin (reason " + std::to_string(reason) + ")");
  send(build::disconnectReason(reason));
  admin_.reset();
}

bool GameServer::isBanned(const std::string& name) const {
  return std::find(banned_.begin(), banned_.end(), name) != banned_.end();
}

std::vector<std::string> GameServer::onlineNames() const {
  std::vector<std::string> names;
  for (const SimPlayer& player : players_) names.push_back(player.name);
  return names;
}

// ---- Helpers ----

void GameServer::send(const Datagram& datagram) {
  if (admin_) sink_.sendTo(*admin_, datagram);
}

void GameServer::sendFootUpdate(const SimPlayer& player) {
  const Point& p = player.position;
  send(build::positionUpdate(player.id, 0, player.health, p.x, p.y, p.z));
}

void GameServer::leaveVehicle(SimPlayer& player) {
  if (player.vehicle == 0) return;
  SimVehicle& car = vehicles_[static_cast<size_t>(player.vehicle)];
  if (car.driver == player.id) car.driver.reset();
  player.vehicle = 0;
  player.passenger = false;
}

std::optional<uint8_t> GameServer::freeId(std::optional<uint8_t> wanted) const {
  auto taken = [&](int id) {
    return std::any_of(players_.begin(), players_.end(),
                       [&](const SimPlayer& player) { return player.id == id; });
  };
  if (wanted && !taken(*wanted)) return wanted;
  // Death reports use 100 for the admin and 255 for nobody, so those are
  // never handed out unasked.
  for (int id = 0; id < 255; ++id) {
    if (id != kAdminKillerId && !taken(id)) return static_cast<uint8_t>(id);
  }
  return std::nullopt;
}

GameServer::SimPlayer* GameServer::findByName(const std::string& name) {
  for (SimPlayer& player : players_) {
    if (player.name == name) return &player;
  }
  return nullptr;
}

const GameServer::SimPlayer* GameServer::findByName(const std::string& name) const {
  for (const SimPlayer& player : players_) {
    if (player.name == name) return &player;
  }
  return nullptr;
}

GameServer::SimPlayer* GameServer::findById(uint8_t id) {
  for (SimPlayer& player : players_) {
    if (player.id == id) return &player;
  }
  return nullptr;
}

std::string GameServer::vehicleLabel(int vehicle) const {
  std::optional<std::string> name = vehicleName(setup_.game, setup_.mode, vehicle);
  return name.value_or("vehicle") + " (" + std::to_string(vehicle) + ")";
}

std::string GameServer::weaponLabel(uint8_t weapon) const {
  return weaponName(setup_.game, weapon).value_or("weapon " + std::to_string(weapon));
}

std::string GameServer::pointLabel(const Point& point) {
  return "(" + formatNumber(point.x) + ", " + formatNumber(point.y) + ", " + formatNumber(point.z) +
         ")";
}

}  // namespace gsadmin::sim
