// The built-in moderation for scripts: a player's details, warnings, timed
// bans and lifting them, and what is held against a name. A script's
// actions are the moderation's own, carried out with the script's name as
// the actor.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/durations.h"
#include "context/session_context.h"
#include "model/player.h"
#include "moderation/moderation.h"
#include "script/api_acts.h"
#include "script/api_args.h"
#include "script/api_functions.h"
#include "script/lua.h"
#include "script/script_state.h"

namespace gsadmin::api {
namespace {

// Where a protected builder leaves its table for the caller: lua_cpcall
// keeps no results.
constexpr const char* kResultKey = "gsadmin.moderationResult";

// The moderation of the calling script's session; null after printing
// the call's refusal when there is none.
Moderation* moderationFor(const ApiCall& call) {
  SessionContext* session = call.session();
  Moderation* moderation = session ? session->moderation() : nullptr;
  if (moderation == nullptr) {
    call.refuse(session ? "moderation is off (--no-moderation)" : "no session");
  }
  return moderation;
}

// A name argument at `index`: a string of 1 to 256 bytes, else empty
// after printing the refusal.
std::optional<std::string_view> nameArgument(const ApiCall& call, int index) {
  if (!call.isString(index)) {
    call.refuse(("Invalid Argument #" + std::to_string(index) + ".").c_str());
    return std::nullopt;
  }
  std::string_view name = call.textView(index);
  if (name.empty()) call.refuse("a name is needed");
  if (name.size() > ApiCall::kMaxNameBytes) call.refuse("the name is too long");
  if (name.empty() || name.size() > ApiCall::kMaxNameBytes) return std::nullopt;
  return name;
}

// [] -> [table] for lua_cpcall: sets the field `key` of the table on top.
void setNumber(lua_State* L, const char* key, int64_t value) {
  lua_pushnumber(L, static_cast<lua_Number>(value));
  lua_setfield(L, -2, key);
}
void setText(lua_State* L, const char* key, const std::string& value) {
  lua_pushlstring(L, value.data(), value.size());
  lua_setfield(L, -2, key);
}

// Run by lua_cpcall with a SanctionRecord: leaves {expires, reason, actor,
// since} at kResultKey.
int pushBan(lua_State* L) {
  const auto* ban = static_cast<const SanctionRecord*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  lua_createtable(L, 0, 4);  // Stack: the ban.
  if (ban->until) setNumber(L, "expires", *ban->until);
  setText(L, "reason", ban->reason);
  setText(L, "actor", ban->actor);
  setNumber(L, "since", ban->time);
  lua_setfield(L, LUA_REGISTRYINDEX, kResultKey);
  return 0;
}

// Run by lua_cpcall with a vector of warnings: leaves the sequence of
// {time, reason, actor, expires} at kResultKey.
int pushWarnings(lua_State* L) {
  const auto* warnings = static_cast<const std::vector<SanctionRecord>*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  lua_createtable(L, static_cast<int>(warnings->size()), 0);  // Stack: the sequence.
  int index = 0;
  for (const SanctionRecord& warning : *warnings) {
    lua_createtable(L, 0, 4);  // Stack: the sequence, the warning.
    setNumber(L, "time", warning.time);
    setText(L, "reason", warning.reason);
    setText(L, "actor", warning.actor);
    if (warning.until) setNumber(L, "expires", *warning.until);
    lua_rawseti(L, 1, ++index);
  }
  lua_setfield(L, LUA_REGISTRYINDEX, kResultKey);
  return 0;
}

// Pushes what a builder left at kResultKey after a cpcall status; 0 after
// refusing when it ran out of memory.
int pushBuilt(const ApiCall& call, int status) {
  lua_State* L = call.state();
  if (status != 0) {
    lua_pop(L, 1);  // the error message
    return call.refuse("not enough memory");
  }
  lua_getfield(L, LUA_REGISTRYINDEX, kResultKey);
  lua_pushnil(L);
  lua_setfield(L, LUA_REGISTRYINDEX, kResultKey);
  return 1;
}

}  // namespace

// [player id] -> the player's details text.
int getPlayerInfo(lua_State* L) {
  ApiCall call(L);
  const Player* player = call.player(1);
  return player ? call.pushText(player->info) : 0;
}

// [player id, reason] -> true.
int warnPlayer(lua_State* L) {
  ApiCall call(L);
  if (!call.isNumber(1)) return call.refuse("Invalid Argument #1.");
  if (!call.isString(2)) return call.refuse("Invalid Argument #2.");
  // Converting a number may raise: the view is taken before any C++
  // object is made.
  std::string_view reason = call.textView(2);
  Moderation* moderation = moderationFor(call);
  std::optional<uint8_t> id = call.id(1);
  if (moderation == nullptr) return 0;
  if (!id) return call.refuse("no player has that id");
  bool warned = false;
  {
    ActRequest request;
    request.target.id = id;
    request.text = std::string(reason);
    warned = carryOut(call, *call.session(), "warn", std::move(request));
  }
  return warned ? call.pushBoolean(true) : 0;
}

// [player id, seconds, reason or nil] -> true.
int tempbanPlayer(lua_State* L) {
  ApiCall call(L);
  if (!call.isNumber(1)) return call.refuse("Invalid Argument #1.");
  if (!call.isNumber(2)) return call.refuse("Invalid Argument #2.");
  if (!call.isNil(3) && !call.isString(3)) return call.refuse("Invalid Argument #3.");
  std::string_view reason = call.isNil(3) ? std::string_view() : call.textView(3);
  Moderation* moderation = moderationFor(call);
  std::optional<uint8_t> id = call.id(1);
  double seconds = call.number(2);
  if (moderation == nullptr) return 0;
  if (!id) return call.refuse("no player has that id");
  // Out of range (NaN included) is refused before any conversion.
  if (!(seconds >= 1 && seconds <= static_cast<double>(kMaxDurationSeconds))) seconds = 0;
  bool banned = false;
  {
    ActRequest request;
    request.target.id = id;
    request.seconds = static_cast<int64_t>(seconds);
    request.text = std::string(reason);
    banned = carryOut(call, *call.session(), "tempban", std::move(request));
  }
  return banned ? call.pushBoolean(true) : 0;
}

// [name] -> the number of bans lifted.
int unbanName(lua_State* L) {
  ApiCall call(L);
  std::optional<std::string_view> name = nameArgument(call, 1);
  if (!name) return 0;
  Moderation* moderation = moderationFor(call);
  if (moderation == nullptr) return 0;
  size_t lifted = 0;
  {
    ActRequest request;
    request.target.name = std::string(*name);
    Outcome outcome;
    if (!carryOut(call, *call.session(), "unban", std::move(request), &outcome)) return 0;
    lifted = outcome.count;
  }
  return call.pushInteger(static_cast<int64_t>(lifted));
}

// [name] -> {expires, reason, actor, since}, or nil.
int getBan(lua_State* L) {
  ApiCall call(L);
  std::optional<std::string_view> name = nameArgument(call, 1);
  if (!name) return 0;
  Moderation* moderation = moderationFor(call);
  if (moderation == nullptr) return 0;
  int status = 0;
  {
    // The record dies before the Lua calls below, which may raise.
    std::optional<SanctionRecord> ban = moderation->sanctions().activeBan(*name, moderation->now());
    if (!ban) return call.pushNil();
    status = lua_cpcall(L, pushBan, &*ban);
  }
  return pushBuilt(call, status);
}

// [name] -> a sequence of {time, reason, actor, expires}.
int getWarnings(lua_State* L) {
  ApiCall call(L);
  std::optional<std::string_view> name = nameArgument(call, 1);
  if (!name) return 0;
  Moderation* moderation = moderationFor(call);
  if (moderation == nullptr) return 0;
  int status = 0;
  {
    std::vector<SanctionRecord> warnings =
        moderation->sanctions().activeWarnings(*name, moderation->now());
    status = lua_cpcall(L, pushWarnings, &warnings);
  }
  return pushBuilt(call, status);
}

}  // namespace gsadmin::api
