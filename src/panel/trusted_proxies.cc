#include "panel/trusted_proxies.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "base/trimmed.h"

namespace gsadmin {
std::optional<std::string> canonicalAddress(std::string_view text) {
  // INET6_ADDRSTRLEN includes the terminating zero.
  // inet_pton would stop at a zero byte and take what came before it.
  if (text.empty() || text.size() >= INET6_ADDRSTRLEN || text.find('\0') != text.npos) {
    return std::nullopt;
  }
  char input[INET6_ADDRSTRLEN] = {};
  std::memcpy(input, text.data(), text.size());
  char output[INET6_ADDRSTRLEN] = {};
  in_addr v4{};
  if (inet_pton(AF_INET, input, &v4) == 1) {
    return std::string(inet_ntop(AF_INET, &v4, output, sizeof output));
  }
  in6_addr v6{};
  if (inet_pton(AF_INET6, input, &v6) != 1) return std::nullopt;
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    std::memcpy(&v4, v6.s6_addr + 12, sizeof v4);
    return std::string(inet_ntop(AF_INET, &v4, output, sizeof output));
  }
  return std::string(inet_ntop(AF_INET6, &v6, output, sizeof output));
}

std::optional<TrustedProxies> TrustedProxies::parse(std::string_view list) {
  TrustedProxies proxies;
  while (true) {
    size_t comma = list.find(',');
    std::optional<std::string> address = canonicalAddress(trimmed(list.substr(0, comma)));
    if (!address || proxies.addresses_.size() == kMaxProxies) return std::nullopt;
    proxies.addresses_.push_back(*address);
    if (comma == std::string_view::npos) return proxies;
    list.remove_prefix(comma + 1);
  }
}

std::string TrustedProxies::clientOf(std::string_view peer,
                                     const std::vector<std::string>& forwardedFor) const {
  std::string fallback(peer);
  if (addresses_.empty() || forwardedFor.empty() || forwardedFor.size() > kMaxHeaderLines) {
    return fallback;
  }
  std::optional<std::string> from = canonicalAddress(peer);
  if (!from || std::find(addresses_.begin(), addresses_.end(), *from) == addresses_.end()) {
    return fallback;
  }
  size_t bytes = 0;
  for (const std::string& line : forwardedFor) bytes += line.size();
  if (bytes > kMaxHeaderBytes) return fallback;
  // The last line's last entry: what the trusted proxy appended.
  std::string_view last = forwardedFor.back();
  size_t comma = last.rfind(',');
  if (comma != std::string_view::npos) last.remove_prefix(comma + 1);
  std::optional<std::string> client = canonicalAddress(trimmed(last));
  return client ? *client : fallback;
}

}  // namespace gsadmin
