#include "protocol/player_messages.h"

#include "session/admin_session.h"

namespace gsadmin {

void handlePlayerJoined(AdminSession&, const BodyReader&) {}

void handlePlayerLeft(AdminSession&, const BodyReader&) {}

void handlePlayerDetails(AdminSession&, const BodyReader&) {}

}  // namespace gsadmin
