#include "script/api_args.h"

#include <cmath>
#include <string>

#include "base/numbers.h"
#include "context/session_context.h"
#include "model/player_manager.h"
#include "model/vehicle_manager.h"
#include "model/weapon_manager.h"
#include "script/api.h"
#include "script/lua.h"
#include "script/script_state.h"

namespace gsadmin {

SessionContext* ApiCall::session() const {
  return sessionOf(L_);
}

uint64_t ApiCall::scriptId() const {
  Script* script = scriptOf(L_);
  return script ? script->id : 0;
}

Console& ApiCall::console() const {
  SessionContext* current = session();
  return current ? current->console() : standardConsole();
}

const char* ApiCall::functionName() const {
  const char* name = nullptr;
  lua_Debug frame;
  // Level 0 is the running C function; "f" pushes it.
  if (lua_getstack(L_, 0, &frame) != 0 && lua_getinfo(L_, "f", &frame) != 0) {
    name = apiFunctionNameOf(lua_tocfunction(L_, -1));
    lua_pop(L_, 1);
  }
  return name ? name : "?";
}

int ApiCall::argumentCount() const {
  return lua_gettop(L_);
}

bool ApiCall::isString(int index) const {
  return lua_isstring(L_, index) != 0;
}

bool ApiCall::isNumber(int index) const {
  return lua_isnumber(L_, index) != 0;
}

std::string ApiCall::text(int index) const {
  size_t length = 0;
  // Converts a number argument in place, as the script API always has.
  const char* data = lua_tolstring(L_, index, &length);
  return data ? std::string(data, length) : std::string();
}

std::string_view ApiCall::textView(int index) const {
  size_t length = 0;
  const char* data = lua_tolstring(L_, index, &length);
  return data ? std::string_view(data, length) : std::string_view();
}

std::string_view ApiCall::cTextView(int index) const {
  std::string_view whole = textView(index);
  return whole.substr(0, whole.find('\0'));
}

bool ApiCall::isNil(int index) const {
  return lua_isnoneornil(L_, index);
}

double ApiCall::number(int index) const {
  return lua_tonumber(L_, index);
}

std::optional<uint8_t> ApiCall::id(int index) const {
  return lowByteOfInt32(lua_tonumber(L_, index));
}

int ApiCall::refuse(const char* reason) const {
  console().line(std::string(functionName()) + ": " + reason);
  return 0;
}

SessionContext* ApiCall::playerSession() const {
  SessionContext* current = session();
  if (current == nullptr) refuse("PlayerManager missing.");
  return current;
}

Player* ApiCall::findPlayer(int index) const {
  SessionContext* current = playerSession();
  if (current == nullptr) return nullptr;
  std::optional<uint8_t> playerId = id(index);
  Player* found = playerId ? current->players().find(*playerId) : nullptr;
  if (found == nullptr) refuse("No such player.");
  return found;
}

Vehicle* ApiCall::findVehicle(int index) const {
  SessionContext* current = session();
  VehicleManager* vehicles = current ? &current->vehicles() : nullptr;
  if (vehicles == nullptr) {
    refuse("VehicleManager missing.");
    return nullptr;
  }
  std::optional<uint8_t> vehicleId = id(index);
  Vehicle* found = vehicleId ? vehicles->find(*vehicleId) : nullptr;
  if (found == nullptr) refuse("Invalid Vehicle.");
  return found;
}

Player* ApiCall::player(int index, const char* invalidArgumentLine) const {
  if (!isNumber(index)) {
    if (invalidArgumentLine != nullptr) {
      console().line(invalidArgumentLine);
    } else {
      refuse("Invalid Argument #1.");
    }
    return nullptr;
  }
  return findPlayer(index);
}

Vehicle* ApiCall::vehicle(int index) const {
  if (!isNumber(index)) {
    refuse("Invalid Parameters");
    return nullptr;
  }
  return findVehicle(index);
}

const Weapon* ApiCall::weapon(int index) const {
  if (!isNumber(index)) {
    refuse("Invalid Parameters");
    return nullptr;
  }
  SessionContext* current = session();
  WeaponManager* weapons = current ? &current->weapons() : nullptr;
  if (weapons == nullptr) {
    refuse("WeaponManager missing.");
    return nullptr;
  }
  std::optional<uint8_t> weaponId = id(index);
  const Weapon* found = weaponId ? weapons->find(*weaponId) : nullptr;
  if (found == nullptr) refuse("Invalid Weapon.");
  return found;
}

int ApiCall::pushText(const std::optional<std::string>& text) const {
  return text ? pushText(std::string_view(*text)) : pushNil();
}

int ApiCall::pushText(const std::string& text) const {
  return pushText(std::string_view(text));
}

int ApiCall::pushText(std::string_view text) const {
  lua_pushlstring(L_, text.data(), text.size());
  return 1;
}

int ApiCall::pushNumber(double value) const {
  lua_pushnumber(L_, value);
  return 1;
}

int ApiCall::pushInteger(int64_t value) const {
  lua_pushinteger(L_, static_cast<lua_Integer>(value));
  return 1;
}

int ApiCall::pushBoolean(bool value) const {
  lua_pushboolean(L_, value ? 1 : 0);
  return 1;
}

int ApiCall::pushNil() const {
  lua_pushnil(L_);
  return 1;
}

}  // namespace gsadmin
