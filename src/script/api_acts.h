#ifndef GSADMIN_SCRIPT_API_ACTS_H_
#define GSADMIN_SCRIPT_API_ACTS_H_

#include "commands/act.h"
#include "script/api_args.h"
#include "script/lua.h"

namespace gsadmin::api {

// The calling script as the actor of its acts: named by the script's name,
// with every right.
Actor scriptActor(lua_State* L);

// Runs the act `name` of the table for the calling script, as `request`
// asks (its actor is set here). True when done; otherwise prints the
// refusal as the function's one line. Takes no Lua value: call it with
// every argument read and nothing left to push but plain values.
bool carryOut(const ApiCall& call, SessionContext& session, const char* name, ActRequest request,
              Outcome* outcome = nullptr);

}  // namespace gsadmin::api

#endif  // GSADMIN_SCRIPT_API_ACTS_H_
