#ifndef GSADMIN_PROTOCOL_CHAT_MESSAGES_H_
#define GSADMIN_PROTOCOL_CHAT_MESSAGES_H_

#include "protocol/body_reader.h"

namespace gsadmin {

class SessionContext;

// Inbound id 3: chat, private messages and the admin channel.
void handleChat(SessionContext& session, const BodyReader& body);

}  // namespace gsadmin

#endif  // GSADMIN_PROTOCOL_CHAT_MESSAGES_H_
