#include "script/lua_finalisers.h"

#include <string_view>

#include "script/lua.h"
#include "script/lua_limits.h"

namespace gsadmin {
namespace {

// Registry keys (their addresses are the keys).
const char kQueueKey = 0;       // array: proxy, function, proxy, function, ...
const char kLiveKey = 0;        // weak-keyed set of proxies whose finaliser is not queued
const char kMetatablesKey = 0;  // weak-keyed set of the proxies' metatables
const char kCompanionKey = 0;   // the companions' metatable: {__gc = companionCollected}

const char kGc[] = "__gc";

// [] -> [registry value at `key`]
void pushRegistered(lua_State* L, const char* key) {
  lua_pushlightuserdata(L, const_cast<char*>(key));
  lua_rawget(L, LUA_REGISTRYINDEX);
}

// [value] -> [] stores it in the registry at `key`.
void setRegistered(lua_State* L, const char* key) {
  lua_pushlightuserdata(L, const_cast<char*>(key));
  lua_insert(L, -2);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

// [] -> [] a new table with weak keys, stored at `key`.
void makeWeakKeyedSet(lua_State* L, const char* key) {
  lua_newtable(L);
  lua_createtable(L, 0, 1);
  lua_pushliteral(L, "k");
  lua_setfield(L, -2, "__mode");
  lua_setmetatable(L, -2);
  setRegistered(L, key);
}

// True when the value at `index` is the string "__gc".
bool isGcKey(lua_State* L, int index) {
  if (lua_type(L, index) != LUA_TSTRING) return false;
  size_t length = 0;
  const char* text = lua_tolstring(L, index, &length);
  return std::string_view(text, length) == kGc;
}

// True when the value at `index` is the metatable of a proxy.
bool isProxyMetatable(lua_State* L, int index) {
  if (!lua_istable(L, index)) return false;
  lua_pushvalue(L, index);
  pushRegistered(L, &kMetatablesKey);  // [t, set]
  lua_insert(L, -2);
  lua_rawget(L, -2);  // [set, set[t]]
  bool found = lua_toboolean(L, -1) != 0;
  lua_pop(L, 2);
  return found;
}

// [metatable] -> [metatable, holder] the table that keeps its __gc.
void pushHolder(lua_State* L) {
  lua_getmetatable(L, -1);  // [mt, guard]
  lua_pushliteral(L, "__index");
  lua_rawget(L, -2);  // [mt, guard, holder]
  lua_remove(L, -2);
}

// The guard's __newindex: (metatable, key, value). "__gc" goes to the
// holder; any other key is stored in the metatable as usual.
int guardedWrite(lua_State* L) {
  lua_settop(L, 3);
  if (isGcKey(L, 2)) {
    lua_pushvalue(L, 1);
    pushHolder(L);  // [mt, key, value, mt, holder]
    lua_pushvalue(L, 3);
    lua_setfield(L, -2, kGc);
    return 0;
  }
  lua_rawset(L, 1);
  return 0;
}

bool isGcKeyOfProxyMetatable(lua_State* L) {
  return isGcKey(L, 2) && isProxyMetatable(L, 1);
}

// rawset(table, key, value), with "__gc" of a proxy's metatable kept aside.
int guardedRawset(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  luaL_checkany(L, 2);
  luaL_checkany(L, 3);
  lua_settop(L, 3);
  if (isGcKeyOfProxyMetatable(L)) {
    guardedWrite(L);
  } else {
    lua_rawset(L, 1);
  }
  lua_settop(L, 1);
  return 1;
}

// rawget(table, key), reading "__gc" of a proxy's metatable where it is kept.
int guardedRawget(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  luaL_checkany(L, 2);
  lua_settop(L, 2);
  if (isGcKeyOfProxyMetatable(L)) {
    lua_pushvalue(L, 1);
    pushHolder(L);  // [mt, key, mt, holder]
    lua_getfield(L, -1, kGc);
    return 1;
  }
  lua_rawget(L, 1);
  return 1;
}

// [] -> [metatable] a new proxy metatable: empty, with a protected
// metatable of its own (the guard) that keeps __gc in a holder.
void pushNewProxyMetatable(lua_State* L) {
  lua_newtable(L);                 // [mt]
  lua_createtable(L, 0, 3);        // [mt, guard]
  lua_newtable(L);                 // [mt, guard, holder]
  lua_setfield(L, -2, "__index");  // reads of absent keys, __gc among them
  lua_pushcfunction(L, guardedWrite);
  lua_setfield(L, -2, "__newindex");
  lua_pushboolean(L, 0);  // getmetatable(mt) is false; it cannot be replaced
  lua_setfield(L, -2, "__metatable");
  lua_setmetatable(L, -2);  // [mt]
  pushRegistered(L, &kMetatablesKey);
  lua_pushvalue(L, -2);
  lua_pushboolean(L, 1);
  lua_rawset(L, -3);  // set[mt] = true
  lua_pop(L, 1);
}

// Gives the proxy at `proxy` its companion: the proxy's environment table
// holds the companion and the proxy, and is the companion's too, so the
// companion is collected exactly when the proxy is and can find it then.
void attachCompanion(lua_State* L, int proxy) {
  lua_createtable(L, 2, 0);  // [T]
  lua_newuserdata(L, 0);     // [T, c]
  pushRegistered(L, &kCompanionKey);
  lua_setmetatable(L, -2);
  lua_pushvalue(L, -2);
  lua_setfenv(L, -2);     // c.env = T
  lua_rawseti(L, -2, 1);  // T[1] = c; [T]
  lua_pushvalue(L, proxy);
  lua_rawseti(L, -2, 2);  // T[2] = proxy
  lua_setfenv(L, proxy);  // proxy.env = T; []
  pushRegistered(L, &kLiveKey);
  lua_pushvalue(L, proxy);
  lua_pushboolean(L, 1);
  lua_rawset(L, -3);
  lua_pop(L, 1);
}

// newproxy([boolean or proxy]), as the base library's, with __gc guarded.
int newProxy(lua_State* L) {
  lua_settop(L, 1);
  lua_newuserdata(L, 0);                   // [arg, proxy]
  if (lua_toboolean(L, 1) == 0) return 1;  // no metatable
  if (lua_isboolean(L, 1)) {
    pushNewProxyMetatable(L);  // [arg, proxy, mt]
  } else {
    bool valid = lua_getmetatable(L, 1) != 0 && isProxyMetatable(L, -1);
    luaL_argcheck(L, valid, 1, "boolean or proxy expected");
  }
  lua_setmetatable(L, 2);  // [arg, proxy]
  attachCompanion(L, 2);
  return 1;
}

// [..., proxy at `proxy`] -> [...] appends the proxy and its __gc function,
// if it has one, to the queue. Run from a collection, possibly at the
// memory ceiling: the ceiling is lifted for these few bytes.
void queueFinaliserOf(lua_State* L, int proxy) {
  int top = lua_gettop(L);
  if (lua_getmetatable(L, proxy) == 0) return;
  pushHolder(L);  // [mt, holder]
  lua_getfield(L, -1, kGc);
  if (!lua_isnil(L, -1)) {  // [mt, holder, gc]
    LuaLimiter& limiter = LuaLimiter::of(L);
    limiter.liftCeiling(true);
    pushRegistered(L, &kQueueKey);  // [mt, holder, gc, queue]
    int length = static_cast<int>(lua_objlen(L, -1));
    lua_pushvalue(L, proxy);
    lua_rawseti(L, -2, length + 1);
    lua_pushvalue(L, -2);
    lua_rawseti(L, -2, length + 2);
    limiter.liftCeiling(false);
    limiter.setFinalisersQueued(true);
  }
  lua_settop(L, top);
  // It is no longer among the live proxies (removing allocates nothing).
  pushRegistered(L, &kLiveKey);
  lua_pushvalue(L, proxy);
  lua_pushnil(L);
  lua_rawset(L, -3);
  lua_settop(L, top);
}

// The companion's __gc: (companion). Runs with hooks off, so it only
// queues, and only a proxy still live: queueEveryFinaliser may have queued
// it already.
int companionCollected(lua_State* L) {
  lua_getfenv(L, 1);     // [c, T]
  lua_rawgeti(L, 2, 2);  // [c, T, proxy]
  pushRegistered(L, &kLiveKey);
  lua_pushvalue(L, 3);
  lua_rawget(L, -2);  // [c, T, proxy, live, live[proxy]]
  if (lua_toboolean(L, -1) != 0) queueFinaliserOf(L, 3);
  return 0;
}

}  // namespace

void openFinalisers(lua_State* L) {
  lua_newtable(L);
  setRegistered(L, &kQueueKey);
  makeWeakKeyedSet(L, &kLiveKey);
  makeWeakKeyedSet(L, &kMetatablesKey);
  lua_createtable(L, 0, 1);
  lua_pushcfunction(L, companionCollected);
  lua_setfield(L, -2, kGc);
  setRegistered(L, &kCompanionKey);
  lua_pushcfunction(L, newProxy);
  lua_setfield(L, LUA_GLOBALSINDEX, "newproxy");
  lua_pushcfunction(L, guardedRawset);
  lua_setfield(L, LUA_GLOBALSINDEX, "rawset");
  lua_pushcfunction(L, guardedRawget);
  lua_setfield(L, LUA_GLOBALSINDEX, "rawget");
}

int runQueuedFinaliser(lua_State* L) {
  lua_settop(L, 0);
  pushRegistered(L, &kQueueKey);  // [queue]
  int length = static_cast<int>(lua_objlen(L, 1));
  if (length < 2) {
    LuaLimiter::of(L).setFinalisersQueued(false);
    return 0;
  }
  lua_rawgeti(L, 1, length);      // [queue, gc]
  lua_rawgeti(L, 1, length - 1);  // [queue, gc, proxy]
  lua_pushnil(L);
  lua_rawseti(L, 1, length);
  lua_pushnil(L);
  lua_rawseti(L, 1, length - 1);
  if (length == 2) LuaLimiter::of(L).setFinalisersQueued(false);
  lua_call(L, 1, 0);
  return 0;
}

int queueEveryFinaliser(lua_State* L) {
  lua_settop(L, 0);
  pushRegistered(L, &kLiveKey);  // [live]
  // Queuing takes each proxy out of the set: collect them first.
  lua_newtable(L);  // [live, proxies]
  int count = 0;
  lua_pushnil(L);
  while (lua_next(L, 1) != 0) {
    lua_pop(L, 1);
    lua_pushvalue(L, -1);
    lua_rawseti(L, 2, ++count);
  }
  for (int i = 1; i <= count; ++i) {
    lua_rawgeti(L, 2, i);
    queueFinaliserOf(L, lua_gettop(L));
    lua_pop(L, 1);
  }
  return 0;
}

}  // namespace gsadmin
