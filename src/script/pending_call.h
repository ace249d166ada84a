#ifndef GSADMIN_SCRIPT_PENDING_CALL_H_
#define GSADMIN_SCRIPT_PENDING_CALL_H_

#include <span>
#include <string>

#include "script/script_manager.h"

struct lua_State;

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

// The short way for the commonest call, outside any protected call:
// [] -> [function, integer arguments...] when the name has a registry slot,
// every argument is an integer and the global is a function found without
// a metamethod, none of which allocates or raises. The number of values
// pushed; 0, with nothing pushed, when the call must go through the
// trampoline.
int pushDirectCall(lua_State* L, const PendingCall& call);
// The same for an event's arguments and the name in registry slot
// `nameRef`: 0, with nothing pushed, when one argument is a text.
int pushDirectEventCall(lua_State* L, int nameRef, std::span<const EventArgument> arguments);

// The text in registry slot `nameRef` (a function's name), read without
// allocating in the state or raising.
std::string registeredName(lua_State* L, int nameRef);

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_PENDING_CALL_H_
