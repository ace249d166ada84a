#include "protocol/player_messages.h"

#include "console/console.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "protocol/wire.h"

namespace gsadmin {

void handlePlayerJoined(SessionContext& session, const BodyReader& body) {
  uint8_t id = body.byteAt(0);
  Player& player = session.players().add(id, body.textAt(1));
  session.console().line(printable(player.name) +
                         " has joined the game (ID: " + std::to_string(id) + ")");
  if (Moderation* moderation = session.moderation()) moderation->playerJoined(player);
  // Due now: the loop sends it at the end of this pass, after the pass's
  // other datagrams, and nothing waits here.
  session.detailsRequests().schedule(id, session.clock().nowMs());
}

void handlePlayerLeft(SessionContext& session, const BodyReader& body) {
  int8_t reason = body.signedByteAt(0);
  uint8_t id = body.byteAt(1);
  Player* player = session.players().find(id);
  if (player == nullptr) return;
  std::string name = printable(player->name);
  if (reason == wire::kQuitKicked) {
    session.console().line(name + " has been kicked from the game");
  } else if (reason == wire::kQuitTimedOut) {
    session.console().line(name + " has timed out");
  } else {
    session.console().line(name + " has left the game");
  }
  // The record stays registered while the handlers run, so they can query it.
  session.events().fireEvent(Event::kPlayerQuit, id, reason);
  if (Player* leaving = session.players().find(id)) {
    if (Moderation* moderation = session.moderation()) moderation->playerLeaving(*leaving);
    session.players().remove(*leaving);
  }
}

void handlePlayerDetails(SessionContext& session, const BodyReader& body) {
  uint8_t id = body.byteAt(0);
  Player* player = session.players().find(id);
  if (player == nullptr) return;
  player->info = body.textAt(1);
  if (Moderation* moderation = session.moderation()) moderation->playerDetails(*player);
  session.events().fireEvent(Event::kPlayerJoin, id);
}

}  // namespace gsadmin
