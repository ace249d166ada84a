#include "protocol/death_messages.h"

#include "session/admin_session.h"

namespace gsadmin {

void handleDeath(AdminSession&, const BodyReader&) {}

}  // namespace gsadmin
