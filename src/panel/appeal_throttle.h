#ifndef GSADMIN_PANEL_APPEAL_THROTTLE_H_
#define GSADMIN_PANEL_APPEAL_THROTTLE_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/clock.h"

namespace gsadmin {

// Bounds the appeals the public listener takes: at most kPerAddress from
// one address (by addressKey()) and kPerBan on one ban within kWindowMs.
// A try is counted when let through, before the ban is looked at, so that
// guessing numbers costs as much as appealing. Keys remembered per kind
// are bounded (kMaxKeys): beyond, those with nothing in the window go, and
// a new key without room is refused. Each operation locks; the clock must
// outlive the throttle.
class AppealThrottle {
 public:
  static constexpr size_t kPerAddress = 5;
  static constexpr size_t kPerBan = 3;
  static constexpr uint64_t kWindowMs = 3600 * 1000;
  static constexpr size_t kMaxKeys = 10000;

  explicit AppealThrottle(Clock& clock) : clock_(clock) {}

  // 0 when an appeal from `address` (its key) on ban `ban` may go now, and
  // it is counted; otherwise the seconds until one may (at least 1).
  uint64_t take(const std::string& address, int64_t ban);

 private:
  template <typename Key>
  using Windows = std::unordered_map<Key, std::deque<uint64_t>>;

  // The moments of `key` within the window, the older ones dropped; null
  // when `key` is new and no room is left.
  template <typename Key>
  std::deque<uint64_t>* windowOf(Windows<Key>& windows, const Key& key, uint64_t now);

  Clock& clock_;
  std::mutex mutex_;
  Windows<std::string> addresses_;
  Windows<int64_t> bans_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_APPEAL_THROTTLE_H_
