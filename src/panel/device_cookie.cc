#include "panel/device_cookie.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <charconv>

#include "base/hex_text.h"
#include "panel/web_sessions.h"

namespace gsadmin {
namespace {

constexpr size_t kIdDigits = 64;   // randomToken()
constexpr size_t kMacDigits = 64;  // SHA-256 in hex
constexpr size_t kMaxExpiryDigits = 19;

bool isHex(std::string_view text) {
  return text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace

DeviceCookies::DeviceCookies() : key_(randomToken()) {}

std::string DeviceCookies::mac(std::string_view name, std::string_view expiry,
                               std::string_view id) const {
  // The name goes last: expiry and id have no dot, so no two inputs meet.
  std::string message = std::string(expiry) + "." + std::string(id) + "." + std::string(name);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()),
           reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest,
           &length) == nullptr) {
    return "";
  }
  return lowerHex(digest, length);
}

std::optional<std::string> DeviceCookies::issue(std::string_view name, int64_t nowSeconds) const {
  std::string id = randomToken();
  if (key_.empty() || id.empty()) return std::nullopt;
  std::string expiry = std::to_string(nowSeconds + kLifetimeSeconds);
  std::string signature = mac(name, expiry, id);
  if (signature.empty()) return std::nullopt;
  return id + "." + expiry + "." + signature;
}

std::optional<std::string> DeviceCookies::deviceOf(std::string_view value, std::string_view name,
                                                   int64_t nowSeconds) const {
  if (key_.empty() || value.size() > kIdDigits + kMaxExpiryDigits + kMacDigits + 2) {
    return std::nullopt;
  }
  size_t firstDot = value.find('.');
  size_t lastDot = value.rfind('.');
  if (firstDot != kIdDigits || lastDot + 1 + kMacDigits != value.size() || lastDot <= firstDot) {
    return std::nullopt;
  }
  std::string_view id = value.substr(0, firstDot);
  std::string_view expiry = value.substr(firstDot + 1, lastDot - firstDot - 1);
  std::string_view signature = value.substr(lastDot + 1);
  int64_t expires = 0;
  auto [end, error] = std::from_chars(expiry.data(), expiry.data() + expiry.size(), expires);
  if (error != std::errc() || end != expiry.data() + expiry.size() || !isHex(id) ||
      expires <= nowSeconds) {
    return std::nullopt;
  }
  if (!sameSecret(signature, mac(name, expiry, id))) return std::nullopt;
  return std::string(id);
}

}  // namespace gsadmin
