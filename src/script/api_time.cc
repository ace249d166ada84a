// setTimer, killTimer and getTickCount: the script's view of time.

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "base/timer_queue.h"
#include "context/session_context.h"
#include "script/api_args.h"
#include "script/api_functions.h"

namespace gsadmin::api {
namespace {

// Longer intervals are cut to this (about 24.8 days), which keeps every
// due time far from overflowing.
constexpr double kMaxIntervalMs = 2147483647.0;
// More repetitions than this are as good as "until killed".
constexpr double kMaxTimes = 4294967295.0;

// The interval argument: a number of at least 1, truncated toward zero.
std::optional<uint64_t> intervalArgument(const ApiCall& call, int index) {
  if (!call.isNumber(index)) return std::nullopt;
  double value = call.number(index);
  if (!(value >= 1)) return std::nullopt;  // also NaN
  return static_cast<uint64_t>(std::fmin(value, kMaxIntervalMs));
}

// The times argument: absent or nil is 1; otherwise a number of at least 0,
// truncated toward zero.
std::optional<uint64_t> timesArgument(const ApiCall& call, int index) {
  if (call.argumentCount() < index || call.isNil(index)) return 1;
  if (!call.isNumber(index)) return std::nullopt;
  double value = call.number(index);
  if (!(value >= 0)) return std::nullopt;  // also NaN
  return static_cast<uint64_t>(std::fmin(value, kMaxTimes));
}

}  // namespace

int setTimer(lua_State* L) {
  ApiCall call(L);
  if (!call.isString(1) || call.textView(1).size() > ApiCall::kMaxNameBytes) {
    return call.refuse("Invalid argument #1.");
  }
  std::optional<uint64_t> intervalMs = intervalArgument(call, 2);
  if (!intervalMs) return call.refuse("Invalid argument #2.");
  std::optional<uint64_t> times = timesArgument(call, 3);
  if (!times) return call.refuse("Invalid argument #3.");
  SessionContext* session = call.session();
  if (session == nullptr) return 0;
  std::optional<int64_t> id =
      session->timers().add(std::string(call.textView(1)), *intervalMs, *times,
                            session->clock().nowMs(), call.scriptId());
  if (!id) return call.refuse("Too many timers.");
  return call.pushInteger(*id);
}

int killTimer(lua_State* L) {
  ApiCall call(L);
  if (!call.isNumber(1)) return call.refuse("Invalid argument #1.");
  double value = call.number(1);
  SessionContext* session = call.session();
  // Ids are whole numbers from 1 up; anything else names no timer.
  bool isId = value >= 1 && value <= 9007199254740992.0 && std::floor(value) == value;
  return call.pushBoolean(
      session != nullptr && isId &&
      session->timers().killOwned(call.scriptId(), static_cast<int64_t>(value)));
}

int getTickCount(lua_State* L) {
  ApiCall call(L);
  SessionContext* session = call.session();
  return call.pushInteger(session ? static_cast<int64_t>(session->uptimeMs()) : 0);
}

}  // namespace gsadmin::api
