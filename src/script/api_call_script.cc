// callScript: calls a global function of another loaded script, each
// script keeping its own state, with copies of the arguments, and returns
// copies of its results.
//
// The work is split so that every state is entered only under its own
// protection: the callee's protected call copies the arguments in, calls
// the function under the callee's limits and keeps the results; the
// caller's protected call copies them out. A copy reads its source without
// allocating there, so no error can jump from one state into the other.

#include <cstdio>
#include <string>
#include <string_view>

#include "console/console.h"
#include "script/api_args.h"
#include "script/api_functions.h"
#include "script/lua.h"
#include "script/lua_copy.h"
#include "script/script_manager.h"
#include "script/script_state.h"

namespace gsadmin::api {
namespace {

constexpr int kFirstArgument = 3;

// Registry key, in either state, of the table that carries the results
// out of a protected call (lua_cpcall keeps none).
const char kResultsKey = 0;

enum class CallPhase { kArguments, kCalling, kResults };

// One call, shared with the protected calls; plain data only.
struct ScriptCall {
  lua_State* caller;
  lua_State* callee;
  std::string_view functionName;  // the caller's argument 2
  int argumentCount;              // the caller's arguments from kFirstArgument
  CallPhase phase = CallPhase::kArguments;
  int refused = 0;      // position of an argument or result that cannot be copied
  int resultCount = 0;  // stored under kResultsKey in the callee
  bool calleeStored = false;
};

// [..., table] -> [...] keeps the table under kResultsKey.
void storeResults(lua_State* L) {
  lua_pushlightuserdata(L, const_cast<char*>(&kResultsKey));
  lua_insert(L, -2);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

// [...] -> [..., table]; allocates nothing.
void pushStoredResults(lua_State* L) {
  lua_pushlightuserdata(L, const_cast<char*>(&kResultsKey));
  lua_rawget(L, LUA_REGISTRYINDEX);
}

// Forgets a stored table. The key exists, so setting it allocates nothing.
void dropStoredResults(lua_State* L) {
  lua_pushlightuserdata(L, const_cast<char*>(&kResultsKey));
  lua_pushnil(L);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

// The callee's protected call: [ScriptCall*] -> [] copies the arguments
// in, calls the function and stores its results in a table.
int callInCallee(lua_State* C) {
  auto* call = static_cast<ScriptCall*>(lua_touserdata(C, 1));
  lua_settop(C, 0);
  luaL_checkstack(C, call->argumentCount + 1, "too many arguments");
  LuaCopy copy{call->caller, C};
  for (int i = 0; i < call->argumentCount; ++i) {
    if (!pushCopy(&copy, kFirstArgument + i)) {
      call->refused = kFirstArgument + i;
      return 0;
    }
  }
  call->phase = CallPhase::kCalling;
  lua_pushlstring(C, call->functionName.data(), call->functionName.size());
  lua_gettable(C, LUA_GLOBALSINDEX);
  lua_insert(C, 1);  // [function, arguments...]
  lua_call(C, call->argumentCount, LUA_MULTRET);
  call->phase = CallPhase::kResults;
  int count = lua_gettop(C);  // [results...]
  lua_createtable(C, count, 0);
  for (int i = 1; i <= count; ++i) {
    lua_pushvalue(C, i);
    lua_rawseti(C, -2, i);
  }
  storeResults(C);
  call->calleeStored = true;
  call->resultCount = count;
  // The room copyOut needs in the idle callee, made while raising here is
  // still safe: the stack keeps its size until the callee allocates again.
  luaL_checkstack(C, kCopySourceSlots + 2, "no room for the results");
  return 0;
}

// The caller's protected call: [ScriptCall*] -> [] copies the callee's
// stored results into a table stored in the caller.
int copyOut(lua_State* L) {
  auto* call = static_cast<ScriptCall*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  lua_State* C = call->callee;
  lua_checkstack(C, kCopySourceSlots + 2);   // made by callInCallee: no allocation
  pushStoredResults(C);                      // C: [results]
  lua_createtable(L, call->resultCount, 0);  // L: [copies]
  LuaCopy copy{C, L};
  for (int i = 1; i <= call->resultCount; ++i) {
    lua_rawgeti(C, -1, i);  // C: [results, value]
    bool copied = pushCopy(&copy, -1);
    lua_pop(C, 1);
    if (!copied) {
      call->refused = i;
      return 0;
    }
    lua_rawseti(L, -2, i);
  }
  storeResults(L);
  return 0;
}

// Refuses with "Invalid <what> #<position>.".
int refuseAt(const ApiCall& call, const char* what, int position) {
  char reason[48];
  std::snprintf(reason, sizeof reason, "Invalid %s #%d.", what, position);
  return call.refuse(reason);
}

// Runs the callee's part under the callee's limits and reports its
// failure. False when nothing is to be returned.
bool runInCallee(ScriptManager& manager, Script& callee, ScriptCall* request, const ApiCall& call) {
  LuaLimiter* previous = manager.enterScript(callee);
  callee.limiter->beginCall();
  int status = lua_cpcall(request->callee, callInCallee, request);
  callee.limiter->endCall();
  manager.leaveScript(previous);
  // A copy cut short leaves keys on the caller's stack.
  lua_settop(request->caller, kFirstArgument - 1 + request->argumentCount);
  if (status != 0) {
    if (request->phase == CallPhase::kCalling) {
      call.console().line("LUA: Error in function '" +
                          std::string(untilNul(request->functionName)) + "'");
    } else {
      call.refuse("Not enough memory.");
    }
    reportFailure(callee, status, call.console());
    return false;
  }
  if (request->refused != 0) {
    refuseAt(call, "argument", request->refused);
    return false;
  }
  return true;
}

// Leaves the callee as it found it, and lets its queued finalisers run.
void finishCallee(ScriptManager& manager, Script& callee, ScriptCall* request,
                  const ApiCall& call) {
  lua_settop(request->callee, 0);
  if (request->calleeStored) dropStoredResults(request->callee);
  if (callee.limiter->finalisersQueued()) {
    LuaLimiter* previous = manager.enterScript(callee);
    runQueuedFinalisers(callee, call.console());
    manager.leaveScript(previous);
  }
}

// After copyOut: the number of results pushed onto the caller's stack.
int pushResults(ScriptCall* request, int status, const ApiCall& call) {
  lua_State* L = request->caller;
  if (status != 0) {
    lua_pop(L, 1);  // the message
    return call.refuse("Not enough memory.");
  }
  if (request->refused != 0) return refuseAt(call, "result", request->refused);
  pushStoredResults(L);  // [..., copies]
  dropStoredResults(L);
  int table = lua_gettop(L);
  if (!lua_checkstack(L, request->resultCount)) return call.refuse("Too many results.");
  for (int i = 1; i <= request->resultCount; ++i) lua_rawgeti(L, table, i);
  return request->resultCount;
}

}  // namespace

int callScript(lua_State* L) {
  ApiCall call(L);
  if (!call.isString(1) || call.textView(1).size() > ApiCall::kMaxNameBytes) {
    return call.refuse("Invalid argument #1.");
  }
  if (!call.isString(2) || call.textView(2).size() > ApiCall::kMaxNameBytes) {
    return call.refuse("Invalid argument #2.");
  }
  Script* caller = scriptOf(L);
  ScriptManager* manager = caller != nullptr ? caller->manager : nullptr;
  Script* callee = manager != nullptr ? manager->find(call.textView(1)) : nullptr;
  if (callee == nullptr || !callee->loaded()) return call.refuse("No such script.");
  // The caller itself, or a script further up a chain of calls, is running
  // code: entering its state again would break that code.
  if (callee->state.get() == L || callee->limiter->inCall()) return call.refuse("Script is busy.");
  if (!lua_checkstack(L, kCopySourceSlots)) return call.refuse("Not enough memory.");
  ScriptCall request{L, callee->state.get(), call.textView(2), lua_gettop(L) - 2};
  bool called = runInCallee(*manager, *callee, &request, call);
  int status = called ? lua_cpcall(L, copyOut, &request) : 0;
  finishCallee(*manager, *callee, &request, call);
  return called ? pushResults(&request, status, call) : 0;
}

}  // namespace gsadmin::api
