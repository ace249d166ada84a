#ifndef GSADMIN_PROTOCOL_PLAYER_MESSAGES_H_
#define GSADMIN_PROTOCOL_PLAYER_MESSAGES_H_

#include "protocol/body_reader.h"

namespace gsadmin {

class AdminSession;

// Inbound id 8: a player joined.
void handlePlayerJoined(AdminSession& session, const BodyReader& body);
// Inbound id 9: a player left.
void handlePlayerLeft(AdminSession& session, const BodyReader& body);
// Inbound id 29: a player's details.
void handlePlayerDetails(AdminSession& session, const BodyReader& body);

}  // namespace gsadmin

#endif  // GSADMIN_PROTOCOL_PLAYER_MESSAGES_H_
