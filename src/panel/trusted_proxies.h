#ifndef GSADMIN_PANEL_TRUSTED_PROXIES_H_
#define GSADMIN_PANEL_TRUSTED_PROXIES_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// The reverse proxies the public listener trusts to name the client
// (--public-trusted-proxy): behind one, every appellant's TCP peer is the
// proxy, so the limits per address would be one limit for all. Only a
// peer whose address is on the list is believed, and only about the last
// entry of its X-Forwarded-For header, the one the proxy itself added;
// whatever came before it is the client's to write. Addresses, never
// names: a name resolves to whatever its owner wants.
class TrustedProxies {
 public:
  static constexpr size_t kMaxProxies = 16;
  // Of all X-Forwarded-For lines of a request together; longer is ignored.
  static constexpr size_t kMaxHeaderBytes = 2048;
  static constexpr size_t kMaxHeaderLines = 8;

  TrustedProxies() = default;

  // "ADDRESS[,ADDRESS...]": IPv4 or IPv6 addresses without ports, at most
  // kMaxProxies; nothing when one is not an address.
  static std::optional<TrustedProxies> parse(std::string_view list);

  bool empty() const { return addresses_.empty(); }

  // The address a request comes from: `peer`, its TCP peer, unless that is
  // a trusted proxy and the last entry of `forwardedFor` (the header's
  // lines in order, as if joined by commas) is an IPv4 or IPv6 address,
  // which is then the answer. Anything else (no header, an empty last
  // entry, a port, a name, too many bytes or lines) leaves the peer.
  std::string clientOf(std::string_view peer, const std::vector<std::string>& forwardedFor) const;

 private:
  std::vector<std::string> addresses_;  // canonical (canonicalAddress)
};

// `text` as inet_ntop writes it (an IPv4-mapped IPv6 address as its IPv4
// address), or nothing when it is not an IPv4 or IPv6 address.
std::optional<std::string> canonicalAddress(std::string_view text);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_TRUSTED_PROXIES_H_
