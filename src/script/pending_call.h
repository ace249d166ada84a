#ifndef GSADMIN_SCRIPT_PENDING_CALL_H_
#define GSADMIN_SCRIPT_PENDING_CALL_H_

#include <span>
#include <string>

#include "script/lua.h"
#include "script/script_manager.h"

namespace gsadmin {

// What the call trampoline needs, read through a light userdata so that
// nothing is allocated before the protected call starts.
struct PendingCall {
  const std::string* functionName;
  std::span<const ScriptArgument> arguments;
  int nameRef;        // the name's registry slot; 0 when it has none
  bool rememberName;  // give the name a slot, in *newNameRef
  int* newNameRef;
};

// The trampoline, run inside the protected call: [PendingCall*] -> looks
// the global up, pushes the arguments and calls it. Every allocation (the
// name, a text argument) happens here, so a full heap is only a failed
// call; a failing __index on the globals table is one too.
int callPending(lua_State* L);

// Well within the LUA_MINSTACK slots the host may always use unchecked.
constexpr size_t kMostDirectArguments = 8;

// The short way for the commonest call, outside any protected call:
// [] -> [function, integer arguments...] when the name has a registry slot,
// every argument is an integer and the global is a function found without
// a metamethod, none of which allocates or raises. The number of values
// pushed; 0, with nothing pushed, when the call must go through the
// trampoline.
int pushDirectCall(lua_State* L, const PendingCall& call);
// The same for an event's arguments and the name in registry slot
// `nameRef`: 0, with nothing pushed, when one argument is a text. Inline:
// it is on the way of every event a script handles.
inline int pushDirectEventCall(lua_State* L, int nameRef,
                               std::span<const EventArgument> arguments) {
  if (arguments.size() > kMostDirectArguments) return 0;
  for (const EventArgument& argument : arguments) {
    if (argument.isText) return 0;
  }
  lua_rawgeti(L, LUA_REGISTRYINDEX, nameRef);
  lua_rawget(L, LUA_GLOBALSINDEX);
  if (!lua_isfunction(L, -1)) {
    lua_pop(L, 1);
    return 0;
  }
  for (const EventArgument& argument : arguments) lua_pushinteger(L, argument.integer);
  return 1 + static_cast<int>(arguments.size());
}

// The text in registry slot `nameRef` (a function's name), read without
// allocating in the state or raising.
std::string registeredName(lua_State* L, int nameRef);

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_PENDING_CALL_H_
