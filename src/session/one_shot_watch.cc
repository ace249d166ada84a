#include "session/one_shot_watch.h"

#include <algorithm>

#include "protocol/wire.h"

namespace gsadmin {

void OneShotWatch::start(uint64_t connectTimeoutMs, uint64_t nowMs) {
  connectTimeoutMs_ = connectTimeoutMs;
  startMs_ = nowMs;
}

void OneShotWatch::commandSent(uint64_t nowMs) {
  unansweredSinceMs_ = nowMs;
}

std::optional<SessionEnd> OneShotWatch::loginFailure(uint64_t nowMs) const {
  if (connectTimeoutMs_ == 0 || accepted_) return std::nullopt;
  if (refused_) return SessionEnd::kLoginRefused;
  if (nowMs - startMs_ >= connectTimeoutMs_) return SessionEnd::kNotConnectedInTime;
  return std::nullopt;
}

bool OneShotWatch::commandsAnswered(uint64_t nowMs) const {
  return !unansweredSinceMs_ || nowMs - *unansweredSinceMs_ >= kAnswerWaitMs;
}

std::optional<uint64_t> OneShotWatch::msUntilChange(uint64_t nowMs) const {
  std::optional<uint64_t> until;
  auto soonest = [&](uint64_t atMs) {
    uint64_t ms = atMs > nowMs ? atMs - nowMs : 0;
    until = until ? std::min(*until, ms) : ms;
  };
  if (connectTimeoutMs_ != 0 && !accepted_ && !refused_) soonest(startMs_ + connectTimeoutMs_);
  if (!commandsAnswered(nowMs)) soonest(*unansweredSinceMs_ + kAnswerWaitMs);
  return until;
}

}  // namespace gsadmin
