#include "panel/appeal_throttle.h"

#include <algorithm>

namespace gsadmin {
namespace {

constexpr uint64_t kMsPerSecond = 1000;

// Seconds until the oldest of a full window leaves it, at least 1.
uint64_t waitOf(const std::deque<uint64_t>& window, uint64_t now) {
  uint64_t leaves = window.front() + AppealThrottle::kWindowMs;
  return std::max<uint64_t>((leaves - now + kMsPerSecond - 1) / kMsPerSecond, 1);
}

}  // namespace

template <typename Key>
std::deque<uint64_t>* AppealThrottle::windowOf(Windows<Key>& windows, const Key& key,
                                               uint64_t now) {
  auto expired = [now](uint64_t moment) { return moment + kWindowMs <= now; };
  auto found = windows.find(key);
  if (found == windows.end()) {
    if (windows.size() >= kMaxKeys) {
      std::erase_if(windows, [&](const auto& entry) {
        return std::all_of(entry.second.begin(), entry.second.end(), expired);
      });
      if (windows.size() >= kMaxKeys) return nullptr;
    }
    found = windows.emplace(key, std::deque<uint64_t>()).first;
  }
  std::deque<uint64_t>& window = found->second;
  while (!window.empty() && expired(window.front())) window.pop_front();
  return &window;
}

uint64_t AppealThrottle::take(const std::string& address, int64_t ban) {
  std::lock_guard lock(mutex_);
  uint64_t now = clock_.nowMs();
  std::deque<uint64_t>* byAddress = windowOf(addresses_, address, now);
  std::deque<uint64_t>* byBan = windowOf(bans_, ban, now);
  // A table full of keys still counting: a while, as a full window.
  if (byAddress == nullptr || byBan == nullptr) return kWindowMs / kMsPerSecond;
  if (byAddress->size() >= kPerAddress) return waitOf(*byAddress, now);
  if (byBan->size() >= kPerBan) return waitOf(*byBan, now);
  byAddress->push_back(now);
  byBan->push_back(now);
  return 0;
}

}  // namespace gsadmin
