#ifndef GSADMIN_PROTOCOL_PLAYER_MESSAGES_H_
#define GSADMIN_PROTOCOL_PLAYER_MESSAGES_H_

#include "protocol/body_reader.h"

namespace gsadmin {

class SessionContext;

// Inbound id 8: a player joined.
void handlePlayerJoined(SessionContext& session, const BodyReader& body);
// Inbound id 9: a player left.
void handlePlayerLeft(SessionContext& session, const BodyReader& body);
// Inbound id 29: a player's details.
void handlePlayerDetails(SessionContext& session, const BodyReader& body);

}  // namespace gsadmin

#endif  // GSADMIN_PROTOCOL_PLAYER_MESSAGES_H_
