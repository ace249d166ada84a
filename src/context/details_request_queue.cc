#include "context/details_request_queue.h"

namespace gsadmin {

void DetailsRequestQueue::schedule(uint8_t id, uint64_t dueMs) {
  pending_.emplace(dueMs, id);
}

std::optional<uint64_t> DetailsRequestQueue::nextDueMs() const {
  if (pending_.empty()) return std::nullopt;
  return pending_.begin()->first;
}

std::vector<uint8_t> DetailsRequestQueue::takeDue(uint64_t nowMs) {
  // Every pass of the loop asks; most find nothing due, so no walk, no erase.
  if (pending_.empty() || pending_.begin()->first > nowMs) return {};
  std::vector<uint8_t> due;
  auto end = pending_.upper_bound(nowMs);
  for (auto it = pending_.begin(); it != end; ++it) {
    due.push_back(it->second);
  }
  pending_.erase(pending_.begin(), end);
  return due;
}

}  // namespace gsadmin
