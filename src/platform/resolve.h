#ifndef GSADMIN_PLATFORM_RESOLVE_H_
#define GSADMIN_PLATFORM_RESOLVE_H_

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>

namespace gsadmin {

// Resolves a host name or dotted IPv4 address to an IPv4 socket address with
// the given port. IPv4 only, no reverse lookup. Empty result on failure,
// with the resolver's reason in *error when it is given.
std::optional<sockaddr_in> resolveIPv4(const std::string& host, uint16_t port,
                                       std::string* error = nullptr);

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_RESOLVE_H_
