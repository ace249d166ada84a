#include "game_server.h"

#include <algorithm>
#include <charconv>

#include "gamedata/vehicle_rosters.h"
#include "console/printable.h"
#include "protocol/wire.h"
#include "scenario_check.h"
#include "sim/server_messages.h"

namespace gsadmin::sim {
namespace {

using gsadmin::wire::kBanRequestId;
using gsadmin::wire::kChatFrameId;
using gsadmin::wire::kKeepAliveAnswerId;
using gsadmin::wire::kKickRequestId;
using gsadmin::wire::kLoginId;
using gsadmin::wire::kPlayerDetailsRequestId;
namespace build = gsadmin::testing;

// Disconnect reasons the server gives.
constexpr uint8_t kWrongPassword = 4;
constexpr uint8_t kBadNickname = 10;

// Quit reason of a kick or ban; killer byte of the admin.
constexpr uint8_t kKicked = 1;
constexpr uint8_t kAdminKillerId = gsadmin::wire::kKillerAdmin;
constexpr uint8_t kNoKillerId = gsadmin::wire::kNoKiller;

// The client accepts texts up to 511 bytes in a chat frame.
constexpr size_t kMaxChatFrame = 3 + gsadmin::wire::kMaxChatText;

// Bytes from `start` up to the first NUL or the end.
std::string textAt(const uint8_t* data, size_t length, size_t start) {
  std::string text;
  for (size_t i = start; i < length && data[i] != 0; ++i)
    text.push_back(static_cast<char>(data[i]));
  return text;
}

const char* quitLabel(uint8_t reason) {
  switch (reason) {
    case 1:
      return "kicked";
    case 2:
      return "timed out";
    default:
      return "left";
  }
}

std::string seconds(uint64_t ms) {
  return formatNumber(static_cast<float>(ms) / 1000.0f) + " s";
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

// ---- The admin's side ----

void GameServer::handleDatagram(const Endpoint& from, const uint8_t* data, size_t length) {
  if (length == 0) return;
  if (data[0] == kLoginId) {
    handleLogin(from, data, length);
    return;
  }
  if (!admin_ || !(*admin_ == from)) {
    log_.line("datagram " + build::hexDump({data[0]}) + " from " + from.toString() +
              ", which is not logged in: ignored");
    return;
  }
  lastHeardMs_ = clock_.nowMs();
  switch (data[0]) {
    case kChatFrameId:
      handleChatFrame(data, length);
      return;
    case kKickRequestId:
      handleKickOrBan(data, length, /*ban=*/false);
      return;
    case kBanRequestId:
      handleKickOrBan(data, length, /*ban=*/true);
      return;
    case kPlayerDetailsRequestId:
      handleDetailsRequest(data, length);
      return;
    case kKeepAliveAnswerId:
      handleKeepAliveAnswer(data, length);
      return;
    default: {
      Datagram head(data, data + std::min<size_t>(length, 8));
      log_.line("unexpected datagram of " + std::to_string(length) +
                " bytes from the admin: " + build::hexDump(head) + (length > 8 ? " ..." : ""));
      return;
    }
  }
}

void GameServer::handleLogin(const Endpoint& from, const uint8_t* data, size_t length) {
  // 0x0D, '0', 0x02, name, '|', password, 0x00.
  size_t bar = 3;
  while (bar < length && data[bar] != '|') ++bar;
  if (length < 5 || data[1] != gsadmin::wire::kLoginVersion ||
      data[2] != gsadmin::wire::kLoginMarker || bar >= length || data[length - 1] != 0) {
    log_.line("malformed login of " + std::to_string(length) + " bytes from " + from.toString() +
              ": ignored");
    return;
  }
  std::string name(reinterpret_cast<const char*>(data + 3), bar - 3);
  std::string password = textAt(data, length, bar + 1);
  std::string who = "login as " + printable(name) + " from " + from.toString();
  Endpoint replyTo = from;
  if (password != setup_.password) {
    log_.line(who + ": wrong password, refused (reason 4)");
    sink_.sendTo(replyTo, build::disconnectReason(kWrongPassword));
    return;
  }
  if (name.empty()) {
    log_.line(who + ": empty name, refused (reason 10)");
    sink_.sendTo(replyTo, build::disconnectReason(kBadNickname));
    return;
  }
  if (admin_ && !(*admin_ == from))
    log_.line("the admin at " + admin_->toString() + " is replaced");
  admin_ = from;
  ++acceptedLogins_;
  uint64_t now = clock_.nowMs();
  lastHeardMs_ = now;
  nextKeepAliveMs_ = now + kKeepAliveIntervalMs;
  unansweredSinceMs_.reset();
  silenceReported_ = false;

  build::ServerRecord record;
  record.gameCode = setup_.game;
  record.gameMode = setup_.mode;
  record.maxPlayers = setup_.maxPlayers;
  record.name = setup_.name;
  record.motd = setup_.motd;
  std::vector<build::ListedPlayer> listed;
  for (const SimPlayer& player : players_) {
    build::ListedPlayer entry;
    entry.id = player.id;
    entry.name = player.name;
    listed.push_back(entry);
  }
  log_.line(who + ": accepted, " + std::to_string(players_.size()) + " players listed");
  send(build::connectionAccepted(record, listed));
}

void GameServer::handleChatFrame(const uint8_t* data, size_t length) {
  // 0x03, 0x03, text, 0x00.
  if (length < 3 || data[1] != gsadmin::wire::kChatFrameChannel || data[length - 1] != 0 ||
      length > kMaxChatFrame) {
    log_.line("malformed chat frame of " + std::to_string(length) + " bytes from the admin");
  }
  std::string text = textAt(data, length, 2);
  if (!text.empty() && text[0] == '/') {
    handleAdminCommand(text);
    return;
  }
  log_.line("admin chat: " + printable(text));
  send(build::chatLine(0, 3, text));
}

void GameServer::handleAdminCommand(const std::string& text) {
  size_t space = text.find(' ');
  std::string command = text.substr(0, space);
  std::string rest = space == std::string::npos ? std::string() : text.substr(space + 1);
  if (command == "/slap") {
    handleSlap(rest);
    return;
  }
  if (command == "/msg") {
    // "/msg #id text" or "/msg name text".
    size_t gap = rest.find(' ');
    std::string to = rest.substr(0, gap);
    std::string message = gap == std::string::npos ? std::string() : rest.substr(gap + 1);
    SimPlayer* player = nullptr;
    if (to.size() > 1 && to[0] == '#') {
      int id = -1;
      auto [ptr, ec] = std::from_chars(to.data() + 1, to.data() + to.size(), id);
      if (ec == std::errc() && ptr == to.data() + to.size() && id >= 0 && id <= 255) {
        player = findById(static_cast<uint8_t>(id));
      }
    } else {
      player = findByName(to);
    }
    if (player == nullptr) {
      log_.line("admin message to " + printable(to) + ": no such player");
      send(build::chatLine(0, 3, "No such player: " + to));
      return;
    }
    log_.line("admin message to " + player->name + " (id " + std::to_string(player->id) +
              "): " + printable(message));
    // The confirmation always exceeds the 10 bytes the client looks for:
    // the name is never empty.
    send(build::chatLine(0, 3, "/msgr " + player->name + ": " + message));
    return;
  }
  log_.line("admin command " + printable(command) + ": unknown");
  send(build::chatLine(0, 3, "Unknown command: " + command));
}

void GameServer::handleSlap(const std::string& name) {
  SimPlayer* player = findByName(name);
  if (player == nullptr) {
    log_.line("admin slaps " + printable(name) + ": no such player");
    send(build::chatLine(0, 3, "No such player: " + name));
    return;
  }
  float health = std::max(0.0f, player->health - kSlapDamage);
  log_.line("admin slaps " + player->name + ": health " + formatNumber(health));
  send(build::chatLine(0, 3, player->name + " was slapped"));
  if (health <= 0.0f) {
    death(player->name, std::string(kAdminKiller), 0);
    return;
  }
  player->health = health;
  leaveVehicle(*player);
  sendFootUpdate(*player);
}

void GameServer::handleKickOrBan(const uint8_t* data, size_t length, bool ban) {
  // 0x0E or 0x0F, id, 0x00.
  const char* verb = ban ? "bans" : "kicks";
  if (length != 3 || data[2] != 0) {
    log_.line(std::string("malformed ") + (ban ? "ban" : "kick") + " request of " +
              std::to_string(length) + " bytes from the admin");
    if (length < 2) return;
  }
  SimPlayer* player = findById(data[1]);
  if (player == nullptr) {
    log_.line(std::string("admin ") + verb + " id " + std::to_string(data[1]) + ": no such player");
    return;
  }
  std::string name = player->name;
  log_.line(std::string("admin ") + verb + " " + name + " (id " + std::to_string(data[1]) + ")");
  if (ban && !isBanned(name)) banned_.push_back(name);
  quit(name, kKicked);
}

void GameServer::handleDetailsRequest(const uint8_t* data, size_t length) {
  if (length != 2) {
    log_.line("malformed details request of " + std::to_string(length) + " bytes from the admin");
    if (length < 2) return;
  }
  SimPlayer* player = findById(data[1]);
  if (player == nullptr) {
    log_.line("details request for id " + std::to_string(data[1]) + ": no such player");
    return;
  }
  log_.line("details of " + player->name + " (id " + std::to_string(player->id) + ") sent");
  send(build::playerDetails(player->id,
                            player->name + " ping 40 ms, health " + formatNumber(player->health)));
}

void GameServer::handleKeepAliveAnswer(const uint8_t* data, size_t length) {
  if (length != 2 || data[1] != 0) {
    log_.line("malformed keep-alive answer of " + std::to_string(length) + " bytes");
  }
  unansweredSinceMs_.reset();
  if (silenceReported_) {
    silenceReported_ = false;
    log_.line("the admin client answers keep-alives again");
  }
}

void GameServer::tick() {
  if (!admin_) return;
  uint64_t now = clock_.nowMs();
  if (now - lastHeardMs_ >= kAdminGoneMs) {
    log_.line("the admin client has been silent for " + seconds(now - lastHeardMs_) +
              ": taken to be gone; waiting for a new login");
    admin_.reset();
    return;
  }
  if (now >= nextKeepAliveMs_) {
    send(build::keepAliveRequest());
    if (!unansweredSinceMs_) unansweredSinceMs_ = now;
    nextKeepAliveMs_ = now + kKeepAliveIntervalMs;
  }
  if (unansweredSinceMs_ && !silenceReported_ && now - *unansweredSinceMs_ >= kKeepAliveAnswerMs) {
    silenceReported_ = true;
    log_.line("the admin client stopped answering keep-alives (no answer for " +
              seconds(now - *unansweredSinceMs_) + ")");
  }
}

// ---- The world ----

Refusal GameServer::join(const std::string& name, std::optional<uint8_t> id) {
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
