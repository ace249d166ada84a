#ifndef GSADMIN_SCRIPT_API_H_
#define GSADMIN_SCRIPT_API_H_

#include <span>

struct lua_State;
typedef int (*lua_CFunction)(lua_State* L);

namespace gsadmin {

// Which diagnostics a function gives when it refuses a call.
enum class ApiFamily {
  kHandlers,    // "Invalid argument #1." / "#2."
  kText,        // gettok: "Invalid argument #1." to "#3."
  kChat,        // sendChat: "Invalid Argument #1."
  kSettings,    // never refuses (also the clock and the player list)
  kServer,      // "No data."
  kPlayer,      // "Invalid Argument #1.", "PlayerManager missing.", "No such player."
  kVehicle,     // "Invalid Parameters", "VehicleManager missing.", "Invalid Vehicle."
  kWeapon,      // "Invalid Parameters", "WeaponManager missing.", "Invalid Weapon."
  kDatabase,    // "Invalid argument #N.", then the database's own message
  kTimers,      // "Invalid argument #N.", "Too many timers."
  kSharing,     // "Invalid argument #N.", then each function's own lines
  kModeration,  // "Invalid Argument #N.", then the moderation's reasons
  kRequests,    // "Invalid argument #N.", then each function's own lines
  kEncode,      // takes any value; refuses only what JSON cannot hold
};

// One function of the script API: its global name (the one place it is
// written), its diagnostics and its body.
struct ApiFunction {
  const char* name;
  ApiFamily family;
  lua_CFunction body;
};

// The 52 functions, in publication order.
std::span<const ApiFunction> apiFunctions();

// The name of the API function whose body this is, or null.
const char* apiFunctionNameOf(lua_CFunction body);

// Publishes the 52 API functions as globals of `state`, in table order,
// replaces the base library's print with one that writes to the console,
// and sets the global jsonNull (see jsonDecode).
void registerApi(lua_State* state);

// The number of functions registerApi publishes.
int apiFunctionCount();

// The name of the i-th function (0-based) in registration order.
const char* apiFunctionName(int index);

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_API_H_
