#include "support/admin_login.h"

#include "protocol/wire.h"

namespace gsadmin::testing {
namespace {

constexpr int kWaitMs = 5000;

}  // namespace

bool acceptLogin(LoopbackPeer& peer, const std::vector<ListedPlayer>& players) {
  std::optional<Datagram> login = peer.receive(kWaitMs);
  if (!login || login->empty() || (*login)[0] != wire::kLoginId) return false;
  return peer.send(connectionAccepted(ServerRecord(), players));
}

std::optional<Datagram> nextCommand(LoopbackPeer& peer) {
  for (;;) {
    std::optional<Datagram> datagram = peer.receive(kWaitMs);
    if (!datagram || datagram->empty() || (*datagram)[0] != wire::kPlayerDetailsRequestId) {
      return datagram;
    }
  }
}

}  // namespace gsadmin::testing
