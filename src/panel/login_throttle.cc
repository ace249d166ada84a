#include "panel/login_throttle.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace gsadmin {
namespace {

constexpr char kLoopbackKey[] = "loopback";

std::string ipv4Key(const unsigned char* bytes) {
  if (bytes[0] == 127) return kLoopbackKey;
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, bytes, text, sizeof text);
  return text;
}

// Drops the moments older than the window.
void dropOld(std::vector<uint64_t>& moments, uint64_t now) {
  auto old = std::find_if(moments.begin(), moments.end(), [now](uint64_t moment) {
    return now - moment < LoginThrottle::kWindowMs;
  });
  moments.erase(moments.begin(), old);
}

}  // namespace

std::string addressKey(std::string_view address) {
  std::string text(address.substr(0, address.find('%')));  // without an IPv6 zone
  std::array<unsigned char, 16> bytes{};
  if (inet_pton(AF_INET, text.c_str(), bytes.data()) == 1) return ipv4Key(bytes.data());
  if (inet_pton(AF_INET6, text.c_str(), bytes.data()) != 1) return text;
  static constexpr std::array<unsigned char, 16> kLoopback6 = {0, 0, 0, 0, 0, 0, 0, 0,
                                                               0, 0, 0, 0, 0, 0, 0, 1};
  static constexpr std::array<unsigned char, 12> kMapped = {0, 0, 0, 0, 0,    0,
                                                            0, 0, 0, 0, 0xff, 0xff};
  if (bytes == kLoopback6) return kLoopbackKey;
  if (std::equal(kMapped.begin(), kMapped.end(), bytes.begin())) return ipv4Key(&bytes[12]);
  char prefix[40];
  std::snprintf(prefix, sizeof prefix, "%02x%02x:%02x%02x:%02x%02x:%02x%02x::/64", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]);
  return prefix;
}

std::vector<uint64_t>& LoginThrottle::recent(Windows& windows, const std::string& key,
                                             uint64_t now) {
  auto found = windows.find(key);
  if (found == windows.end() && windows.size() >= kMaxKeys) {
    for (auto it = windows.begin(); it != windows.end();) {
      dropOld(it->second, now);
      it = it->second.empty() ? windows.erase(it) : std::next(it);
    }
    // Still full of keys tried within the minute: the new one shares the
    // window of the empty key rather than growing the memory.
    if (windows.size() >= kMaxKeys) found = windows.try_emplace("").first;
  }
  if (found == windows.end()) found = windows.try_emplace(key).first;
  dropOld(found->second, now);
  return found->second;
}

std::optional<LoginSlot> LoginThrottle::reserveForDevice(const std::string& device, uint64_t now) {
  std::vector<uint64_t>& moments = recent(devices_, device, now);
  if (moments.size() >= kPerDevice) return std::nullopt;
  moments.push_back(now);
  LoginSlot slot;
  slot.device = device;
  slot.moment = now;
  return slot;
}

std::optional<LoginSlot> LoginThrottle::reserve(const LoginAttempt& attempt) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Read under the lock, so that every window's moments stay in order.
  uint64_t now = clock_.nowMs();
  if (attempt.device) return reserveForDevice(*attempt.device, now);
  LoginSlot slot;
  slot.nameKey = attempt.name;
  slot.accountExists = attempt.accountExists;
  slot.addressKey = addressKey(attempt.address);
  slot.moment = now;
  std::vector<uint64_t>& byName = recent(namesFor(attempt.accountExists), slot.nameKey, now);
  std::vector<uint64_t>& byAddress = recent(addresses_, slot.addressKey, now);
  if (byName.size() >= kPerAccount || byAddress.size() >= kPerAddress) return std::nullopt;
  byName.push_back(now);
  byAddress.push_back(now);
  return slot;
}

void LoginThrottle::giveBack(const LoginSlot& slot) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto uncount = [&slot](Windows& windows, const std::string& key) {
    auto found = windows.find(key);
    if (found == windows.end()) return;  // forgotten, or counted in the shared window
    std::vector<uint64_t>& moments = found->second;
    auto it = std::find(moments.begin(), moments.end(), slot.moment);
    if (it != moments.end()) moments.erase(it);
  };
  if (!slot.device.empty()) {
    uncount(devices_, slot.device);
    return;
  }
  uncount(namesFor(slot.accountExists), slot.nameKey);
  uncount(addresses_, slot.addressKey);
}

}  // namespace gsadmin
