#include "panel/totp.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <array>
#include <cctype>
#include <cerrno>

#include "panel/web_sessions.h"
#include "platform/random_bytes.h"

namespace gsadmin {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
constexpr size_t kMaxKeyBytes = 64;

int base32Value(char c) {
  char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper >= 'A' && upper <= 'Z') return upper - 'A';
  if (upper >= '2' && upper <= '7') return upper - '2' + 26;
  return -1;
}

// Letters and digits unreserved in a URI stay; everything else is %XX.
std::string uriEscaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
      escaped += c;
    } else {
      escaped += '%';
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 15];
    }
  }
  return escaped;
}

}  // namespace

std::string base32Encode(std::string_view bytes) {
  std::string text;
  uint32_t buffer = 0;
  int bits = 0;
  for (char c : bytes) {
    buffer = (buffer << 8) | static_cast<unsigned char>(c);
    bits += 8;
    while (bits >= 5) {
      text += kAlphabet[(buffer >> (bits - 5)) & 31];
      bits -= 5;
    }
  }
  if (bits > 0) text += kAlphabet[(buffer << (5 - bits)) & 31];
  return text;
}

std::optional<std::string> base32Decode(std::string_view text) {
  std::string bytes;
  uint32_t buffer = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=' || c == ' ' || c == '-') continue;
    int value = base32Value(c);
    if (value < 0) return std::nullopt;
    buffer = (buffer << 5) | static_cast<uint32_t>(value);
    bits += 5;
    if (bits >= 8) {
      bytes += static_cast<char>((buffer >> (bits - 8)) & 0xFF);
      bits -= 8;
    }
    if (bytes.size() > kMaxKeyBytes) return std::nullopt;
  }
  if (bytes.empty()) return std::nullopt;
  return bytes;
}

std::string hotpCode(std::string_view key, uint64_t counter, int digits) {
  std::array<unsigned char, 8> message{};
  for (int i = 7; i >= 0; --i) {
    message[static_cast<size_t>(i)] = static_cast<unsigned char>(counter & 0xFF);
    counter >>= 8;
  }
  std::array<unsigned char, EVP_MAX_MD_SIZE> mac{};
  unsigned int macLength = 0;
  HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), message.data(), message.size(),
       mac.data(), &macLength);
  // RFC 4226's dynamic truncation: 31 bits from the offset the last nibble names.
  size_t offset = mac[macLength - 1] & 0x0F;
  uint32_t value = (static_cast<uint32_t>(mac[offset] & 0x7F) << 24) |
                   (static_cast<uint32_t>(mac[offset + 1]) << 16) |
                   (static_cast<uint32_t>(mac[offset + 2]) << 8) | mac[offset + 3];
  std::string code(static_cast<size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i) {
    code[static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return code;
}

int64_t totpStep(int64_t unixSeconds) {
  return unixSeconds < 0 ? 0 : unixSeconds / kTotpStepSeconds;
}

std::optional<int64_t> matchTotp(std::string_view key, std::string_view code, int64_t unixSeconds) {
  int64_t now = totpStep(unixSeconds);
  std::optional<int64_t> matched;
  for (int64_t step = now - 1; step <= now + 1; ++step) {
    if (step < 0) continue;
    bool same = sameSecret(hotpCode(key, static_cast<uint64_t>(step)), code);
    if (same && !matched) matched = step;
  }
  return matched;
}

std::string newTotpSecret() {
  std::array<char, kTotpSecretBytes> bytes{};
  if (!fillRandom(bytes.data(), bytes.size())) return "";
  return base32Encode(std::string_view(bytes.data(), bytes.size()));
}

std::string otpauthUri(std::string_view issuer, std::string_view account,
                       std::string_view base32Secret) {
  return "otpauth://totp/" + uriEscaped(issuer) + ":" + uriEscaped(account) +
         "?secret=" + std::string(base32Secret) + "&issuer=" + uriEscaped(issuer) +
         "&algorithm=SHA1&digits=" + std::to_string(kTotpDigits) +
         "&period=" + std::to_string(kTotpStepSeconds);
}

}  // namespace gsadmin
