#ifndef GSADMIN_SCRIPT_LUA_LIMITS_H_
#define GSADMIN_SCRIPT_LUA_LIMITS_H_

#include <csignal>
#include <cstddef>
#include <cstdint>

struct lua_State;
struct lua_Debug;

namespace gsadmin {

// What one script may use. Zero in either field means no limit.
struct ScriptLimits {
  // Wall time one handler call or the main chunk may run, in milliseconds.
  uint64_t budgetMs = 5000;
  // Bytes the script's Lua state may hold at once.
  size_t memoryBytes = size_t{512} * 1024 * 1024;
  // When set and non-zero (above the count tolerated, see
  // LuaLimiter::tolerateStopsSoFar), every running script code is stopped.
  // Read from the instruction hook; it may be set by a signal handler and
  // must outlive every state made with these limits.
  const volatile std::sig_atomic_t* stopRequested = nullptr;
  // Milliseconds on a monotonic clock; null means a cheap system clock.
  // Tests put a hand-driven clock here.
  uint64_t (*nowMs)() = nullptr;
};

// Guards one Lua state: an allocator that refuses to grow past the memory
// ceiling (Lua then raises "not enough memory") and an instruction-count hook
// that raises a Lua error once a stop is requested or the running call has
// used up its time budget. The hook looks at the clock only every few
// thousand instructions, so it costs little. Code running inside a C
// function (a long string.rep, a pattern match) is stopped only when it
// returns to Lua.
class LuaLimiter {
 public:
  explicit LuaLimiter(const ScriptLimits& limits) : limits_(limits) {}
  LuaLimiter(const LuaLimiter&) = delete;
  LuaLimiter& operator=(const LuaLimiter&) = delete;

  // A new state whose memory and instructions this limiter watches, with a
  // panic handler that reports on standard error. Null when not even the
  // state fits. The limiter must outlive the state.
  lua_State* newState();

  // Starts the time budget of one call. The hook reads the clock for the
  // first time when it first runs (after a few thousand instructions), so a
  // short call never reads it at all.
  void beginCall() {
    inCall_ = true;
    ceilingLifted_ = false;
    deadlinePending_ = limits_.budgetMs != 0;
    deadlineMs_ = 0;
  }
  // Ends it: no budget applies until the next beginCall.
  void endCall() {
    inCall_ = false;
    deadlinePending_ = false;
    deadlineMs_ = 0;
    if (tripped_) restoreHook();
  }

  // Between beginCall and endCall: code of this limiter's state is running
  // (or waiting on a call it made), so the state must not be entered.
  bool inCall() const { return inCall_; }

  // Why the running call must stop now ("interrupted", or the budget's
  // message), or null. For long work outside Lua (a database statement)
  // that must stop as the hook would stop Lua code.
  const char* stopReason();

  // Lets code run despite the stop requests made so far (so that a script
  // can save its work at the end); a further request stops it again. The
  // handler that sets stopRequested must then count the requests.
  void tolerateStopsSoFar();

  // A full collection of `L` (a state of this limiter) in a protected call,
  // so that a raising finaliser cannot escape. The ceiling is lifted for it:
  // after running out of memory even the protected call would not fit.
  void collectGarbage(lua_State* L);

  size_t bytesInUse() const { return bytesInUse_; }

  // The limiter of `L`, a state made by newState.
  static LuaLimiter& of(lua_State* L);

  // The running call was stopped, by its budget or a stop request.
  bool stopped() const { return tripped_; }

  // Lets the allocator grow past the ceiling until lowered again, for the
  // few bytes of host bookkeeping that must not fail. beginCall lowers it.
  void liftCeiling(bool lifted) { ceilingLifted_ = lifted; }

  // Script finalisers wait in the state's queue (see lua_finalisers.h).
  // Kept here so that the host's look after every call costs one test.
  bool finalisersQueued() const { return finalisersQueued_; }
  void setFinalisersQueued(bool queued) { finalisersQueued_ = queued; }

 private:
  static void* allocate(void* self, void* block, size_t oldSize, size_t newSize);
  static void hook(lua_State* L, lua_Debug* ar);
  uint64_t now() const;
  // Back to the usual hook interval after a stop raised in every instruction.
  void restoreHook();

  ScriptLimits limits_;
  size_t bytesInUse_ = 0;
  bool ceilingLifted_ = false;
  bool inCall_ = false;
  bool deadlinePending_ = false;  // in a call whose deadline the hook sets
  uint64_t deadlineMs_ = 0;       // 0: no call under a budget
  std::sig_atomic_t stopsTolerated_ = 0;
  lua_State* state_ = nullptr;  // made by newState, owned by the script
  bool tripped_ = false;        // a stop was raised; the hook runs at every instruction
  bool finalisersQueued_ = false;
  char budgetMessage_[64] = {};
};

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_LUA_LIMITS_H_
