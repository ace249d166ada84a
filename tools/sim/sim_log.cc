#include "sim_log.h"

#include <chrono>

namespace gsadmin::sim {

SimLog::SimLog(Clock& clock, std::FILE* out) : clock_(clock), out_(out) {}

void SimLog::startRound(uint64_t startMs, double speed) {
  roundStartMs_ = startMs;
  speed_ = speed;
}

void SimLog::line(const std::string& text) {
  char stamp[32];
  if (epochStamps_) {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    long long us = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
    std::snprintf(stamp, sizeof(stamp), "%lld.%06lld ", us / 1000000, us % 1000000);
  } else if (roundStartMs_) {
    uint64_t now = clock_.nowMs();
    uint64_t elapsed = now > *roundStartMs_ ? now - *roundStartMs_ : 0;
    std::snprintf(stamp, sizeof(stamp), "%7.1f ", static_cast<double>(elapsed) * speed_ / 1000.0);
  } else {
    std::snprintf(stamp, sizeof(stamp), "%7s ", "-");
  }
  std::string whole = stamp + text;
  if (out_ == nullptr) {
    kept_.push_back(whole);
    return;
  }
  std::fprintf(out_, "%s\n", whole.c_str());
  std::fflush(out_);
}

std::string formatNumber(float value) {
  char text[48];
  std::snprintf(text, sizeof(text), "%.1f", static_cast<double>(value));
  return text;
}

}  // namespace gsadmin::sim
