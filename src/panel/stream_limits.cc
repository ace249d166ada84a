#include "panel/stream_limits.h"

namespace gsadmin {
namespace {

void lower(std::map<std::string, size_t>& counts, const std::string& key) {
  auto found = counts.find(key);
  if (found != counts.end() && --found->second == 0) counts.erase(found);
}

}  // namespace

bool isEventsRequest(std::string_view method, std::string_view target) {
  if (method != "GET" || !target.starts_with(kEventsPath)) return false;
  return target.size() == kEventsPath.size() || target[kEventsPath.size()] == '?';
}

std::unique_ptr<StreamLimits::Place> StreamLimits::take(const std::string& token,
                                                        const std::string& account,
                                                        Refusal* refusal) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (perSession_[token] >= kMaxStreamsPerSession) {
    *refusal = {429, "too many open streams for this session"};
  } else if (perAccount_[account] >= kMaxStreamsPerAccount) {
    *refusal = {429, "too many open streams for this account"};
  } else if (total_ >= kMaxStreams) {
    *refusal = {503, "too many open streams"};
  } else {
    ++perSession_[token];
    ++perAccount_[account];
    ++total_;
    return std::make_unique<Place>(*this, token, account);
  }
  // The lookups above may have made empty entries.
  if (perSession_[token] == 0) perSession_.erase(token);
  if (perAccount_[account] == 0) perAccount_.erase(account);
  return nullptr;
}

size_t StreamLimits::open() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return total_;
}

void StreamLimits::release(const std::string& token, const std::string& account) {
  std::lock_guard<std::mutex> lock(mutex_);
  lower(perSession_, token);
  lower(perAccount_, account);
  --total_;
}

}  // namespace gsadmin
