#include "script/lua_limits.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "console/console.h"
#include "console/printable.h"
#include "script/lua.h"

namespace gsadmin {
namespace {

// Instructions between two looks at the stop flag and the clock. A Lua
// instruction takes a few nanoseconds, so a stop is seen well within a
// millisecond while the clock is read rarely enough not to show.
constexpr int kHookInterval = 10000;

uint64_t coarseMonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

// Raises `message` with the file and line of the running Lua function: in a
// hook that function is level 0, not level 1 as luaL_error assumes.
void raiseHere(lua_State* L, const char* message) {
  luaL_where(L, 0);
  lua_pushstring(L, message);
  lua_concat(L, 2);
  lua_error(L);
}

int reportPanic(lua_State* L) {
  const char* message = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "error object";
  standardConsole().errorLine(printable(std::string("LUA: unprotected error: ") + message));
  return 0;  // Lua then aborts the process
}

}  // namespace

lua_State* LuaLimiter::newState() {
  lua_State* L = lua_newstate(allocate, this);
  if (L == nullptr) return nullptr;
  lua_atpanic(L, reportPanic);
  lua_sethook(L, hook, LUA_MASKCOUNT, kHookInterval);
  state_ = L;
  return L;
}

LuaLimiter& LuaLimiter::of(lua_State* L) {
  void* self = nullptr;
  lua_getallocf(L, &self);
  return *static_cast<LuaLimiter*>(self);
}

void LuaLimiter::restoreHook() {
  tripped_ = false;
  if (state_ != nullptr) lua_sethook(state_, hook, LUA_MASKCOUNT, kHookInterval);
}

const char* LuaLimiter::stopReason() {
  if (limits_.stopRequested != nullptr && *limits_.stopRequested > stopsTolerated_) {
    return "interrupted";
  }
  if (deadlinePending_) {
    deadlinePending_ = false;
    deadlineMs_ = now() + limits_.budgetMs;
  } else if (deadlineMs_ != 0 && now() > deadlineMs_) {
    std::snprintf(budgetMessage_, sizeof budgetMessage_, "ran longer than its budget of %llu ms",
                  static_cast<unsigned long long>(limits_.budgetMs));
    return budgetMessage_;
  }
  return nullptr;
}

void LuaLimiter::tolerateStopsSoFar() {
  if (limits_.stopRequested != nullptr) stopsTolerated_ = *limits_.stopRequested;
}

namespace {

int fullCollection(lua_State* L) {
  lua_gc(L, LUA_GCCOLLECT, 0);
  return 0;
}

}  // namespace

void LuaLimiter::collectGarbage(lua_State* L) {
  ceilingLifted_ = true;
  if (lua_cpcall(L, fullCollection, nullptr) != 0) lua_pop(L, 1);
  ceilingLifted_ = false;
}

uint64_t LuaLimiter::now() const {
  return limits_.nowMs != nullptr ? limits_.nowMs() : coarseMonotonicMs();
}

void* LuaLimiter::allocate(void* self, void* block, size_t oldSize, size_t newSize) {
  auto* limiter = static_cast<LuaLimiter*>(self);
  if (newSize == 0) {
    std::free(block);
    limiter->bytesInUse_ -= oldSize;
    return nullptr;
  }
  size_t ceiling = limiter->limits_.memoryBytes;
  // Lua 5.1 passes the old size of a block (0 for a new one); shrinking must
  // never fail, growing past the ceiling does.
  if (ceiling != 0 && !limiter->ceilingLifted_ && newSize > oldSize &&
      limiter->bytesInUse_ - oldSize + newSize > ceiling) {
    return nullptr;
  }
  void* grown = std::realloc(block, newSize);
  if (grown == nullptr) return nullptr;
  limiter->bytesInUse_ = limiter->bytesInUse_ - oldSize + newSize;
  return grown;
}

void LuaLimiter::hook(lua_State* L, lua_Debug*) {
  LuaLimiter* limiter = &of(L);
  const char* reason = limiter->stopReason();
  if (reason == nullptr) return;
  // From now until the call ends, every instruction raises again, so a
  // script that catches the error with pcall cannot go on running.
  limiter->tripped_ = true;
  lua_sethook(L, hook, LUA_MASKCOUNT, 1);
  raiseHere(L, reason);
}

}  // namespace gsadmin
