#ifndef GSADMIN_SCRIPT_LUA_FINALISERS_H_
#define GSADMIN_SCRIPT_LUA_FINALISERS_H_

struct lua_State;

namespace gsadmin {

// Script finalisers that the time budget and the stop signals can reach.
//
// Lua 5.1 runs a userdata's __gc with hooks off, inside whichever
// allocation set off the collection or inside lua_close, where no budget
// and no signal can stop it. In a state set up with openFinalisers no
// script function is ever a __gc Lua would call:
//  - newproxy hands out userdata whose metatable keeps its __gc aside (in
//    a holder the metatable's own protected metatable reads and writes;
//    rawset and rawget of "__gc" go there too), so the metatable the
//    script sees and changes never holds one itself;
//  - each such proxy has a hidden companion userdata, reachable only
//    through the proxy, whose C __gc runs when the proxy is collected and
//    only appends the proxy and its __gc function to the state's queue
//    (which keeps the proxy alive until its finaliser has run);
//  - the host runs the queue afterwards with runQueuedFinaliser, as
//    ordinary protected calls under the script's limits.
// The state's allocator must be a LuaLimiter's: it counts the queue.

// [] -> [] replaces newproxy, rawset and rawget in the globals and makes
// the registry tables. Raises when out of memory: call it inside the
// protected setup of the state.
void openFinalisers(lua_State* L);

// Runs inside a protected call: [] -> [] takes the finaliser queued last
// off the queue and calls it with its proxy. Does nothing when none is
// queued.
int runQueuedFinaliser(lua_State* L);

// Runs inside a protected call: [] -> [] queues the finaliser of every
// proxy that is still alive and not queued yet, as lua_close would call
// them all; for closing the state.
int queueEveryFinaliser(lua_State* L);

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_LUA_FINALISERS_H_
