#ifndef GSADMIN_SCRIPT_API_ARGS_H_
#define GSADMIN_SCRIPT_API_ARGS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/numbers.h"

struct lua_State;

namespace gsadmin {

class SessionContext;
class Console;
struct Player;
struct Vehicle;
struct Weapon;

// Argument conversion and diagnostics shared by every API function, so that
// each function reads as its checks and its results. One object per call of
// an API function, made inside it.
class ApiCall {
 public:
  explicit ApiCall(lua_State* state) : L_(state) {}

  lua_State* state() const { return L_; }
  // The API table's name of the running C function ("?" for none). Looked
  // up only when a diagnostic needs it, so calls that succeed pay nothing.
  const char* functionName() const;
  // The session the calling state is bound to (bindState), or null.
  SessionContext* session() const;
  // The same, for the player family: null after printing "PlayerManager
  // missing." when no session is set.
  SessionContext* playerSession() const;
  // The id of the script the calling state belongs to; 0 when none.
  uint64_t scriptId() const;
  // The session's console; the standard console when no session is set.
  Console& console() const;

  int argumentCount() const;
  // lua_isstring: a number counts as a string.
  bool isString(int index) const;
  // lua_isnumber: a numeric string counts as a number.
  bool isNumber(int index) const;
  // nil, or no argument at `index`.
  bool isNil(int index) const;
  // The longest name (of an event, a handler function or a timer function)
  // the API keeps, in bytes: names are held outside the script's memory
  // ceiling.
  static constexpr size_t kMaxNameBytes = 256;

  // The argument's string form (a number becomes its text); empty when it
  // has none.
  std::string text(int index) const;
  // The same, without a copy: it points into the Lua string, which stays
  // on the stack until the function returns. Converting a number may raise
  // (out of memory), so take every view before making any C++ object.
  std::string_view textView(int index) const;
  // textView(), ending at its first NUL byte: the texts the API hands on
  // (chat frames, tokens) are NUL-terminated, so nothing after one can
  // matter.
  std::string_view cTextView(int index) const;
  double number(int index) const;

  // The id a numeric argument names: the number truncated toward zero to a
  // 32-bit signed integer, then its low 8 bits. Empty for NaN and for numbers
  // outside the 32-bit signed range, which name no record.
  std::optional<uint8_t> id(int index) const;

  // Prints "<function name>: <reason>\n" and returns 0, the number of values
  // a refused call returns.
  int refuse(const char* reason) const;

  // Record lookups of the three families. Each prints the family's
  // diagnostic and returns null when the call must be refused:
  //  player: "Invalid Argument #1.", "PlayerManager missing.", "No such player."
  //  vehicle: "Invalid Parameters", "VehicleManager missing.", "Invalid Vehicle."
  //  weapon: "Invalid Parameters", "WeaponManager missing.", "Invalid Weapon."
  // `invalidArgumentLine`, when given, is printed whole in place of the first
  // diagnostic (one function spells its own name differently there).
  Player* player(int index, const char* invalidArgumentLine = nullptr) const;
  Vehicle* vehicle(int index) const;
  const Weapon* weapon(int index) const;

  // The lookups without the argument-type check, for functions that check
  // several arguments first.
  Player* findPlayer(int index) const;
  Vehicle* findVehicle(int index) const;

  // Result pushes; each returns the number of values pushed. Pushing a
  // text allocates and may raise: no C++ object may be alive in the
  // caller's frames then.
  int pushText(const std::optional<std::string>& text) const;  // absent: nil
  int pushText(const std::string& text) const;
  int pushText(std::string_view text) const;
  int pushNumber(double value) const;
  int pushInteger(int64_t value) const;
  int pushBoolean(bool value) const;
  int pushNil() const;

 private:
  lua_State* L_;
};

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_API_ARGS_H_
