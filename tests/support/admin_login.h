#ifndef GSADMIN_TESTS_SUPPORT_ADMIN_LOGIN_H_
#define GSADMIN_TESTS_SUPPORT_ADMIN_LOGIN_H_

#include <optional>
#include <vector>

#include "sim/server_messages.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {

// Receives the client's login (within 5 s) and accepts it listing
// `players`; true when a login came and the answer was sent.
bool acceptLogin(LoopbackPeer& peer, const std::vector<ListedPlayer>& players = {});

// The next datagram from the client that is not a details request, or none
// after 5 s.
std::optional<Datagram> nextCommand(LoopbackPeer& peer);

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_ADMIN_LOGIN_H_
