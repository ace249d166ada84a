#include "scenario_check.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

#include "gamedata/vehicle_rosters.h"
#include "gamedata/weapon_tables.h"

namespace gsadmin::sim {
namespace {

bool sameIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return i == a.size() && b[i] == '\0';
}

// Follows who is on the server, line by line, as the round plays out when
// nobody is kicked. Only ids asked for explicitly can conflict; the others
// are handed out by the server at run time.
class Presence {
 public:
  // False, with the holder's name in *takenBy, when the id asked for is held.
  bool add(const std::string& name, std::optional<uint8_t> id, std::string* takenBy) {
    if (id) {
      for (const auto& [other, otherId] : players_) {
        if (otherId == id) {
          *takenBy = other;
          return false;
        }
      }
    }
    players_[name] = id;
    return true;
  }
  void remove(const std::string& name) { players_.erase(name); }
  bool has(const std::string& name) const { return players_.count(name) != 0; }

 private:
  std::map<std::string, std::optional<uint8_t>> players_;
};

class Checker {
 public:
  Checker(Scenario& scenario, uint8_t game, uint8_t mode, std::string* error)
      : scenario_(scenario), game_(game), mode_(mode), error_(error) {}

  bool check() {
    Presence presence;
    for (const OnlinePlayer& player : scenario_.settings.online) {
      line_ = player.line;
      if (presence.has(player.name)) return fail(player.name + " is listed online twice");
      std::string takenBy;
      if (!presence.add(player.name, player.id, &takenBy)) {
        return fail("id " + std::to_string(*player.id) + " is taken by " + takenBy);
      }
    }
    for (Action& action : scenario_.actions) {
      line_ = action.line;
      if (!checkAction(action, presence)) return false;
    }
    return true;
  }

 private:
  bool fail(const std::string& what) {
    *error_ = scenario_.source + ":" + std::to_string(line_) + ": " + what;
    return false;
  }

  bool requirePresent(const Presence& presence, const std::string& name) {
    if (presence.has(name)) return true;
    return fail("no player '" + name + "' is on the server at this point");
  }

  bool checkAction(Action& action, Presence& presence) {
    switch (action.verb) {
      case Verb::kJoin: {
        if (presence.has(action.player)) {
          return fail(action.player + " is already on the server at this point");
        }
        std::string takenBy;
        if (!presence.add(action.player, action.id, &takenBy)) {
          return fail("id " + std::to_string(*action.id) + " is taken by " + takenBy +
                      " at this point");
        }
        return true;
      }
      case Verb::kQuit:
        if (!requirePresent(presence, action.player)) return false;
        presence.remove(action.player);
        return true;
      case Verb::kChat:
      case Verb::kMessage:
      case Verb::kWalk:
        return requirePresent(presence, action.player);
      case Verb::kDrive:
      case Verb::kRide:
        return requirePresent(presence, action.player) && checkVehicle(action.vehicle);
      case Verb::kKill:
        if (action.killer != kAdminKiller && !requirePresent(presence, action.killer)) {
          return false;
        }
        return requirePresent(presence, action.player) && resolveWeapon(action);
      case Verb::kDie:
        return requirePresent(presence, action.player) && resolveWeapon(action);
      case Verb::kDrown: {
        if (!requirePresent(presence, action.player)) return false;
        // The client reports "drowned" for weapon 43 whatever the game.
        action.weaponId = weaponByName(game_, "Drowned").value_or(43);
        return true;
      }
      case Verb::kAdminLine:
      case Verb::kDisconnect:
      case Verb::kEnd:
        return true;
    }
    return true;
  }

  bool checkVehicle(int vehicle) {
    const Roster* roster = rosterFor(game_, mode_);
    if (roster == nullptr) return true;
    int last = static_cast<int>(roster->vehicles.size());
    if (vehicle <= last) return true;
    return fail("vehicle " + std::to_string(vehicle) + " is not in the roster of game " +
                std::to_string(game_) + " mode " + std::to_string(mode_) + " (1 to " +
                std::to_string(last) + ")");
  }

  bool resolveWeapon(Action& action) {
    const std::string& word = action.weapon;
    int number = 0;
    auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), number);
    if (ec == std::errc() && ptr == word.data() + word.size()) {
      if (number < 0 || number > 255) return fail("weapon number " + word + " is not 0 to 255");
      action.weaponId = static_cast<uint8_t>(number);
      return true;
    }
    std::optional<uint8_t> id = weaponByName(game_, word);
    if (!id) {
      return fail("unknown weapon '" + word + "' for game " + std::to_string(game_));
    }
    action.weaponId = *id;
    return true;
  }

  Scenario& scenario_;
  uint8_t game_;
  uint8_t mode_;
  std::string* error_;
  int line_ = 0;
};

}  // namespace

std::optional<uint8_t> weaponByName(uint8_t game, const std::string& name) {
  for (const WeaponEntry& entry : weaponTableFor(game)) {
    if (sameIgnoringCase(name, entry.name)) return entry.id;
  }
  return std::nullopt;
}

std::optional<std::string> weaponName(uint8_t game, uint8_t id) {
  for (const WeaponEntry& entry : weaponTableFor(game)) {
    if (entry.id == id) return std::string(entry.name);
  }
  return std::nullopt;
}

std::optional<std::string> vehicleName(uint8_t game, uint8_t mode, int id) {
  const Roster* roster = rosterFor(game, mode);
  if (roster == nullptr || id < 1 || id > static_cast<int>(roster->vehicles.size())) {
    return std::nullopt;
  }
  return std::string(roster->vehicles[static_cast<size_t>(id - 1)].name);
}

bool checkScenario(Scenario& scenario, uint8_t game, uint8_t mode, std::string* error) {
  return Checker(scenario, game, mode, error).check();
}

}  // namespace gsadmin::sim
