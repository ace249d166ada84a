#ifndef GSADMIN_PANEL_PEER_ADDRESS_H_
#define GSADMIN_PANEL_PEER_ADDRESS_H_

#include <sys/socket.h>

#include <optional>
#include <string>

namespace gsadmin {

// The address a connection counts against in the per-address caps: an IPv4
// address whole (also when mapped into IPv6), an IPv6 address by its /64,
// since one host is commonly given a whole /64. Nothing for another family.
std::optional<std::string> peerKeyOf(const sockaddr_storage& address);

// The same for the peer of the connected socket `fd`.
std::optional<std::string> peerKeyOf(int fd);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_PEER_ADDRESS_H_
