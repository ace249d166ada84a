#include "panel/password_hash.h"

#include <argon2.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/random_bytes.h"

namespace gsadmin {
namespace {

// OWASP's minimum for Argon2id: 19 MiB, two passes, one lane. A login
// costs some tens of milliseconds; the login throttle bounds how often.
constexpr uint32_t kTimeCost = 2;
constexpr uint32_t kMemoryKiB = 19 * 1024;
constexpr uint32_t kLanes = 1;
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;

}  // namespace

std::optional<std::string> hashPassword(std::string_view password) {
  if (password.empty() || password.size() > kMaxPanelPasswordBytes) return std::nullopt;
  std::array<uint8_t, kSaltBytes> salt{};
  if (!fillRandom(salt.data(), salt.size())) return std::nullopt;
  size_t length =
      argon2_encodedlen(kTimeCost, kMemoryKiB, kLanes, kSaltBytes, kHashBytes, Argon2_id);
  std::vector<char> encoded(length);
  int result =
      argon2id_hash_encoded(kTimeCost, kMemoryKiB, kLanes, password.data(), password.size(),
                            salt.data(), salt.size(), kHashBytes, encoded.data(), encoded.size());
  if (result != ARGON2_OK) return std::nullopt;
  return std::string(encoded.data());
}

bool verifyPassword(const std::string& encoded, std::string_view password) {
  if (password.empty() || password.size() > kMaxPanelPasswordBytes) return false;
  if (!isPasswordHash(encoded)) return false;
  return argon2id_verify(encoded.c_str(), password.data(), password.size()) == ARGON2_OK;
}

bool isPasswordHash(std::string_view text) {
  constexpr std::string_view kPrefix = "$argon2id$v=19$m=";
  if (!text.starts_with(kPrefix) || text.size() > 256) return false;
  // The costs a login will pay: at most 256 MiB, 16 passes and 4 lanes, so
  // that a mistaken line cannot make every login take the host's memory.
  unsigned long memory = 0, passes = 0, lanes = 0;
  int used = 0;
  std::string costs(text.substr(kPrefix.size() - 2));
  if (std::sscanf(costs.c_str(), "m=%lu,t=%lu,p=%lu$%n", &memory, &passes, &lanes, &used) != 3 ||
      used == 0) {
    return false;
  }
  return memory >= 8 && memory <= 256 * 1024 && passes >= 1 && passes <= 16 && lanes >= 1 &&
         lanes <= 4;
}

}  // namespace gsadmin
