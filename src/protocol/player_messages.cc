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
  session.console().entry(
      LogEntry(LogKind::kJoin,
               printable(player.name) + " has joined the game (ID: " + std::to_string(id) + ")")
          .add("player", id)
          .add("name", player.name));
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
  const char* how = " has left the game";
  const char* why = "left";
  if (reason == wire::kQuitKicked) {
    how = " has been kicked from the game";
    why = "kicked";
  } else if (reason == wire::kQuitTimedOut) {
    how = " has timed out";
    why = "timed out";
  }
  session.console().entry(LogEntry(LogKind::kQuit, name + how)
                              .add("player", id)
                              .add("name", player->name)
                              .add("reason", why));
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
