#include "panel/chart_cache.h"

namespace gsadmin {

std::optional<std::string> ChartCache::find(const std::string& range) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = entries_.find(range);
  if (found == entries_.end() || clock_.nowMs() - found->second.storedMs >= kKeepMs) {
    return std::nullopt;
  }
  return found->second.body;
}

void ChartCache::store(const std::string& range, std::string body) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[range] = Entry{clock_.nowMs(), std::move(body)};
}

}  // namespace gsadmin
