#include <string>

#include "context/session_context.h"
#include "model/player.h"
#include "script/api_args.h"
#include "script/api_functions.h"

namespace gsadmin::api {
namespace {

// What a command sends for the player it names. The session is the one the
// player was found in.
using PlayerCommand = void (*)(SessionContext&, const Player&);

int commandOnPlayer(lua_State* L, PlayerCommand command) {
  ApiCall call(L);
  const Player* player = call.player(1);
  if (player != nullptr) command(*call.session(), *player);
  return 0;
}

}  // namespace

int sendChat(lua_State* L) {
  ApiCall call(L);
  if (call.argumentCount() < 1) return 0;
  if (!call.isString(1)) return call.refuse("Invalid Argument #1.");
  // The text goes out as it is; it is never used as a format.
  std::string_view text = call.cTextView(1);
  if (SessionContext* session = call.session()) session->sendChatFrame(text);
  return 0;
}

int sendMessage(lua_State* L) {
  ApiCall call(L);
  if (!call.isNumber(1)) return call.refuse("Invalid Argument #1.");
  if (!call.isString(2)) return call.refuse("Invalid Argument #2.");
  const Player* player = call.findPlayer(1);
  if (player == nullptr) return 0;
  // Converted before the C++ text is built: converting may raise.
  std::string_view body = call.cTextView(2);
  std::string text = "/msg #" + std::to_string(player->id) + " " + std::string(body);
  call.session()->sendChatFrame(text);
  return 0;
}

int slapPlayer(lua_State* L) {
  return commandOnPlayer(L, [](SessionContext& session, const Player& player) {
    session.sendChatFrame("/slap " + player.name);
  });
}

int kickPlayer(lua_State* L) {
  return commandOnPlayer(
      L, [](SessionContext& session, const Player& player) { session.sendKickRequest(player.id); });
}

int banPlayer(lua_State* L) {
  return commandOnPlayer(
      L, [](SessionContext& session, const Player& player) { session.sendBanRequest(player.id); });
}

}  // namespace gsadmin::api
