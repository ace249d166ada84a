#include "panel/read_limits.h"

namespace gsadmin {

ReadSlot::ReadSlot(ReadLimits& limits, std::string login)
    : limits_(limits), login_(std::move(login)) {}

ReadSlot::~ReadSlot() {
  limits_.release(login_);
}

std::shared_ptr<ReadSlot> ReadLimits::admit(const std::string& login, Refusal* refusal) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = byLogin_.find(login);
  if (found != byLogin_.end() && found->second >= perLogin_) {
    *refusal = Refusal::kLoginBusy;
    return nullptr;
  }
  if (total_ >= inAll_) {
    *refusal = Refusal::kAllBusy;
    return nullptr;
  }
  ++byLogin_[login];
  ++total_;
  *refusal = Refusal::kNone;
  return std::make_shared<ReadSlot>(*this, login);
}

size_t ReadLimits::inFlight() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return total_;
}

size_t ReadLimits::inFlightOf(const std::string& login) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = byLogin_.find(login);
  return found == byLogin_.end() ? 0 : found->second;
}

void ReadLimits::release(const std::string& login) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = byLogin_.find(login);
  if (found == byLogin_.end()) return;
  if (--found->second == 0) byLogin_.erase(found);
  --total_;
}

}  // namespace gsadmin
