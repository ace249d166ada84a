// The script API's admin commands: chat, private messages, slaps, kicks
// and bans, each the act of the table of the same kind, with the script as
// its actor.

#include <optional>
#include <string_view>

#include "commands/commands.h"
#include "context/session_context.h"
#include "model/player_manager.h"
#include "script/api_acts.h"
#include "script/api_functions.h"
#include "script/script_state.h"

namespace gsadmin::api {
namespace {

// The player id argument 1 names, or none after printing "No such
// player." (or "PlayerManager missing." without a session).
std::optional<uint8_t> knownPlayer(const ApiCall& call, SessionContext** session) {
  *session = call.playerSession();
  if (*session == nullptr) return std::nullopt;
  std::optional<uint8_t> id = call.id(1);
  if (!id || (*session)->players().find(*id) == nullptr) {
    call.refuse("No such player.");
    return std::nullopt;
  }
  return id;
}

// slapPlayer, kickPlayer and banPlayer: [player id] -> no value.
int actOnPlayer(lua_State* L, const char* act) {
  ApiCall call(L);
  if (!call.isNumber(1)) return call.refuse("Invalid Argument #1.");
  SessionContext* session = nullptr;
  std::optional<uint8_t> id = knownPlayer(call, &session);
  if (!id) return 0;
  ActRequest request;
  request.target.id = id;
  request.plain = true;
  carryOut(call, *session, act, std::move(request));
  return 0;
}

}  // namespace

Actor scriptActor(lua_State* L) {
  Script* script = scriptOf(L);
  return Actor{Actor::Kind::kScript, script ? script->name : std::string("script"), kOperatorLevel,
               std::nullopt};
}

bool carryOut(const ApiCall& call, SessionContext& session, const char* name, ActRequest request,
              Outcome* outcome) {
  request.actor = scriptActor(call.state());
  Outcome done = session.commands().run(*findAct(name), kScriptDoor, request);
  if (!done.done()) call.refuse(done.refusal.c_str());
  bool ok = done.done();
  if (outcome != nullptr) *outcome = std::move(done);
  return ok;
}

// [text] -> no value.
int sendChat(lua_State* L) {
  ApiCall call(L);
  if (call.argumentCount() < 1) return 0;
  if (!call.isString(1)) return call.refuse("Invalid Argument #1.");
  // Converting a number may raise: the view is taken before the act makes
  // any C++ object, and no Lua call follows it.
  std::string_view text = call.textView(1);
  SessionContext* session = call.session();
  if (session == nullptr) return 0;
  ActRequest request;
  request.text = std::string(untilNul(text));
  carryOut(call, *session, "chat", std::move(request));
  return 0;
}

// [player id, text] -> no value.
int sendMessage(lua_State* L) {
  ApiCall call(L);
  if (!call.isNumber(1)) return call.refuse("Invalid Argument #1.");
  if (!call.isString(2)) return call.refuse("Invalid Argument #2.");
  std::string_view text = call.textView(2);  // as in sendChat
  SessionContext* session = nullptr;
  std::optional<uint8_t> id = knownPlayer(call, &session);
  if (!id) return 0;
  ActRequest request;
  request.target.id = id;
  request.text = std::string(untilNul(text));
  carryOut(call, *session, "message", std::move(request));
  return 0;
}

int slapPlayer(lua_State* L) {
  return actOnPlayer(L, "slap");
}

// Each sends its one request as scripts have always sent it, and prints
// nothing; with the moderation on it is recorded and audited too.
int kickPlayer(lua_State* L) {
  return actOnPlayer(L, "kick");
}

int banPlayer(lua_State* L) {
  return actOnPlayer(L, "ban");
}

}  // namespace gsadmin::api
