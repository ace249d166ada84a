#ifndef GSADMIN_TOOLS_SIM_SCENARIO_H_
#define GSADMIN_TOOLS_SIM_SCENARIO_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin::sim {

// A scenario is a match the simulator plays: settings for the server and the
// players already on it, then timed lines. The text format is described in
// docs/simulator.md; parseScenario() turns it into these values and
// checkScenario() (scenario_check.h) validates them against a game.

struct Point {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

enum class Verb {
  kJoin,        // join NAME [ID] [key KEY]
  kQuit,        // quit NAME [left|kicked|timeout|CODE]
  kChat,        // chat NAME TEXT
  kMessage,     // msg NAME RECIPIENT [TEXT]
  kAdminLine,   // admin TEXT
  kWalk,        // walk NAME [health H] [at X Y Z]
  kDrive,       // drive NAME VEHICLE [health H] [at X Y Z]
  kRide,        // ride NAME VEHICLE
  kKill,        // kill KILLER VICTIM WEAPON
  kDie,         // die NAME WEAPON
  kDrown,       // drown NAME
  kDisconnect,  // disconnect REASON
  kEnd,         // end
};

// The word a line uses for its verb ("join", "chat", ...).
const char* verbName(Verb verb);

// The killer word that means the admin rather than a player.
inline constexpr std::string_view kAdminKiller = "admin";

// "key KEY" after a joining player's name and id: the server's details
// text for the player is then KEY alone, one word of at most kMaxKeyBytes.
inline constexpr std::string_view kKeyWord = "key";
inline constexpr size_t kMaxKeyBytes = 63;

// One timed line.
struct Action {
  int line = 0;         // 1-based line number in the source
  uint64_t timeMs = 0;  // scenario time, counted from the accepted login
  Verb verb = Verb::kEnd;
  std::string player;              // the player the line is about; the victim of a death
  std::string killer;              // kill: a player name, or kAdminKiller
  std::string recipient;           // msg: the recipient word as the player typed it
  std::string text;                // chat, msg, admin: the text
  std::string weapon;              // kill, die: the weapon as written (number or name)
  std::optional<uint8_t> id;       // join: the id asked for
  std::optional<std::string> key;  // join: the details text, when given
  int vehicle = 0;                 // drive, ride: 1 to 100
  std::optional<float> health;     // walk, drive
  std::optional<Point> at;         // walk, drive
  uint8_t reason = 0;              // quit, disconnect
  uint8_t weaponId = 0;            // kill, die, drown: set by checkScenario()
};

// A player on the server before the admin logs in.
struct OnlinePlayer {
  int line = 0;
  std::string name;
  std::optional<uint8_t> id;
  std::optional<std::string> key;  // the details text, when given
};

struct ScenarioSettings {
  std::optional<std::string> serverName;
  std::optional<std::string> motd;
  std::optional<uint8_t> game;
  std::optional<uint8_t> mode;
  std::optional<uint8_t> maxPlayers;
  std::vector<OnlinePlayer> online;
};

struct Scenario {
  std::string source;  // file name, or "demo", as messages name it
  ScenarioSettings settings;
  std::vector<Action> actions;  // in time order
  // The time of the end line, if there is one.
  std::optional<uint64_t> endMs;

  // How long one round lasts: the end line's time, or the last line's.
  uint64_t lengthMs() const;
};

// Parses a scenario text. On the first malformed line returns nothing and
// sets *error to "<source>:<line>: <what is wrong>".
std::optional<Scenario> parseScenario(std::string_view text, const std::string& source,
                                      std::string* error);

}  // namespace gsadmin::sim

#endif  // GSADMIN_TOOLS_SIM_SCENARIO_H_
