#include "moderation/seen_names.h"

#include "moderation/record_store.h"

namespace gsadmin {

void SeenNames::add(std::string_view name) {
  std::string key = nameKey(name);
  auto found = names_.find(key);
  if (found != names_.end()) {
    found->second = boundedText(name, kMaxNameBytes);
    return;
  }
  if (names_.size() >= kMaxNames) return;
  names_.emplace(std::move(key), boundedText(name, kMaxNameBytes));
}

std::vector<std::string> SeenNames::startingWith(std::string_view start, size_t count) const {
  std::string key = nameKey(start);
  std::vector<std::string> found;
  for (auto at = names_.lower_bound(key);
       at != names_.end() && found.size() < count && at->first.starts_with(key); ++at) {
    found.push_back(at->second);
  }
  return found;
}

}  // namespace gsadmin
