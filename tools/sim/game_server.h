#ifndef GSADMIN_TOOLS_SIM_GAME_SERVER_H_
#define GSADMIN_TOOLS_SIM_GAME_SERVER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/defaults.h"
#include "endpoint.h"
#include "platform/clock.h"
#include "scenario.h"
#include "sim_log.h"

namespace gsadmin::sim {

// Who the server says it is in its connection-accepted message.
struct ServerSetup {
  std::string name = "gsadmin-sim";
  std::string motd = "A simulated match";
  uint8_t game = 2;
  uint8_t mode = 1;
  uint8_t maxPlayers = 32;
  std::string password = defaults::kAdminPassword;
  // How long a kicked or banned player stays on before leaving, as on a
  // server far away; 0: at once.
  uint64_t kickDelayMs = 0;
};

// Why the world refused a scenario line at this moment ("Bob is not on the
// server"), or nothing when it was carried out.
using Refusal = std::optional<std::string>;

// The simulated game server's side of the admin protocol, and the world the
// admin looks at: players with health, position and vehicle, the vehicles of
// the roster, and the names of banned players.
//
// One admin client at a time: the sender of the latest accepted login. Every
// change in the world is sent to it while it is logged in, and only then; the
// world goes on without one. Each operation logs one line for what it did.
class GameServer {
 public:
  // A keep-alive request goes out this often while an admin is logged in.
  static constexpr uint64_t kKeepAliveIntervalMs = 3000;
  // An unanswered request older than this is reported once.
  static constexpr uint64_t kKeepAliveAnswerMs = 5000;
  // An admin silent for this long is taken to be gone.
  static constexpr uint64_t kAdminGoneMs = 30000;
  // What one slap costs.
  static constexpr float kSlapDamage = 10.0f;

  // `clock`, `sink` and `log` must outlive the server.
  GameServer(ServerSetup setup, Clock& clock, DatagramSink& sink, SimLog& log);

  // A datagram from the admin's side, `length` bytes at `data`.
  void handleDatagram(const Endpoint& from, const uint8_t* data, size_t length);

  // Sends keep-alive requests when due and watches their answers. Call at
  // least every few milliseconds.
  void tick();

  bool adminLoggedIn() const { return admin_.has_value(); }
  // Logins accepted so far; the scenario starts with the first.
  int acceptedLogins() const { return acceptedLogins_; }
  const ServerSetup& setup() const { return setup_; }

  // The world, driven by the scenario. Each sends what a game server sends
  // when this happens.
  // With a `key`, the details the server gives for the player are that
  // text alone.
  Refusal join(const std::string& name, std::optional<uint8_t> id,
               const std::optional<std::string>& key = std::nullopt);
  Refusal quit(const std::string& name, uint8_t reason);
  Refusal chat(const std::string& name, const std::string& text);
  Refusal privateMessage(const std::string& name, const std::string& recipient,
                         const std::string& text);
  void adminChannelLine(const std::string& text);
  // On foot; leaves any vehicle. Unset values keep the player's own.
  Refusal walk(const std::string& name, std::optional<float> health, std::optional<Point> at);
  // Drives `vehicle` (1 to 100); health is the vehicle's. Unset values keep
  // the vehicle's own. Passengers move along.
  Refusal drive(const std::string& name, int vehicle, std::optional<float> health,
                std::optional<Point> at);
  // Rides in `vehicle` as a passenger, at the vehicle's position.
  Refusal ride(const std::string& name, int vehicle);
  // `killer` is a player's name, kAdminKiller, or nothing for a death
  // without killer. The victim drops to health 0 on foot, the death report
  // follows, then the victim respawns with health 100 where it fell.
  Refusal death(const std::string& victim, std::optional<std::string> killer, uint8_t weapon);
  // Ends the admin's connection with this reason code.
  void disconnectAdmin(uint8_t reason);

  bool isOnline(const std::string& name) const { return findByName(name) != nullptr; }
  bool isBanned(const std::string& name) const;
  // Names of the players on the server, in joining order.
  std::vector<std::string> onlineNames() const;

 private:
  struct SimPlayer {
    uint8_t id = 0;
    std::string name;
    float health = 100.0f;
    Point position;
    int vehicle = 0;  // 0: on foot
    bool passenger = false;
    std::optional<std::string> key;  // the details text, when given
  };
  struct SimVehicle {
    float health = 1000.0f;
    Point position;
    std::optional<uint8_t> driver;
  };

  void handleLogin(const Endpoint& from, const uint8_t* data, size_t length);
  void handleChatFrame(const uint8_t* data, size_t length);
  void handleAdminCommand(const std::string& text);
  void handleSlap(const std::string& name);
  void handleKickOrBan(const uint8_t* data, size_t length, bool ban);
  void handleDetailsRequest(const uint8_t* data, size_t length);
  void handleKeepAliveAnswer(const uint8_t* data, size_t length);
  // The kicked players whose delay has passed leave.
  void takeOffKicked();

  void send(const Datagram& datagram);
  void sendFootUpdate(const SimPlayer& player);
  void leaveVehicle(SimPlayer& player);
  std::optional<uint8_t> freeId(std::optional<uint8_t> wanted) const;
  SimPlayer* findByName(const std::string& name);
  const SimPlayer* findByName(const std::string& name) const;
  SimPlayer* findById(uint8_t id);
  std::string vehicleLabel(int vehicle) const;
  std::string weaponLabel(uint8_t weapon) const;
  static std::string pointLabel(const Point& point);

  ServerSetup setup_;
  Clock& clock_;
  DatagramSink& sink_;
  SimLog& log_;

  std::optional<Endpoint> admin_;
  int acceptedLogins_ = 0;
  uint64_t lastHeardMs_ = 0;
  uint64_t nextKeepAliveMs_ = 0;
  std::optional<uint64_t> unansweredSinceMs_;
  bool silenceReported_ = false;

  std::vector<SimPlayer> players_;        // in joining order
  std::array<SimVehicle, 101> vehicles_;  // by id; 0 is unused
  std::vector<std::string> banned_;
  // Kicked players still on (kickDelayMs), each with when they leave.
  std::vector<std::pair<uint64_t, std::string>> leaving_;
};

}  // namespace gsadmin::sim

#endif  // GSADMIN_TOOLS_SIM_GAME_SERVER_H_
