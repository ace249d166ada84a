#include "context/admin_actions.h"

#include <string>

#include "console/console.h"
#include "context/session_context.h"
#include "model/player.h"
#include "model/player_manager.h"

namespace gsadmin::admin {
namespace {

// The player with `playerId`, or null after printing "<name>: No such
// player.".
const Player* findPlayer(SessionContext& session, const char* name, PlayerId playerId) {
  const Player* player = playerId ? session.players().find(*playerId) : nullptr;
  if (player == nullptr) session.console().line(std::string(name) + ": No such player.");
  return player;
}

}  // namespace

void sendChat(SessionContext& session, std::string_view text) {
  session.sendChatFrame(untilNul(text));
}

void sendMessage(SessionContext& session, PlayerId playerId, std::string_view text) {
  const Player* player = findPlayer(session, kSendMessage, playerId);
  if (player == nullptr) return;
  session.sendChatFrame("/msg #" + std::to_string(player->id) + " " + std::string(untilNul(text)));
}

void slapPlayer(SessionContext& session, PlayerId playerId) {
  const Player* player = findPlayer(session, kSlapPlayer, playerId);
  if (player != nullptr) session.sendChatFrame("/slap " + player->name);
}

void kickPlayer(SessionContext& session, PlayerId playerId) {
  const Player* player = findPlayer(session, kKickPlayer, playerId);
  if (player != nullptr) session.sendKickRequest(player->id);
}

void banPlayer(SessionContext& session, PlayerId playerId) {
  const Player* player = findPlayer(session, kBanPlayer, playerId);
  if (player != nullptr) session.sendBanRequest(player->id);
}

}  // namespace gsadmin::admin
