#include "base/timer_queue.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace gsadmin {
namespace {

constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();

uint64_t saturatingAdd(uint64_t a, uint64_t b) {
  return a > kNever - b ? kNever : a + b;
}

}  // namespace

std::optional<int64_t> TimerQueue::add(std::string functionName, uint64_t intervalMs,
                                       uint64_t times, uint64_t nowMs) {
  if (timers_.size() >= kMaxTimers) return std::nullopt;
  if (intervalMs == 0) intervalMs = 1;
  int64_t id = nextId_++;
  timers_.push_back(
      {id, std::move(functionName), intervalMs, times, saturatingAdd(nowMs, intervalMs), false});
  return id;
}

bool TimerQueue::kill(int64_t id) {
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [id](const Timer& timer) { return timer.id == id; });
  if (it == timers_.end()) return false;
  timers_.erase(it);
  return true;
}

std::optional<uint64_t> TimerQueue::nextDueMs() const {
  std::optional<uint64_t> earliest;
  for (const Timer& timer : timers_) {
    if (timer.finished) continue;
    if (!earliest || timer.dueMs < *earliest) earliest = timer.dueMs;
  }
  return earliest;
}

TimerQueue::Timer* TimerQueue::earliestDue(uint64_t nowMs) {
  Timer* earliest = nullptr;
  for (Timer& timer : timers_) {
    if (timer.finished || timer.dueMs > nowMs) continue;
    if (earliest == nullptr || timer.dueMs < earliest->dueMs ||
        (timer.dueMs == earliest->dueMs && timer.id < earliest->id)) {
      earliest = &timer;
    }
  }
  return earliest;
}

TimerQueue::Timer* TimerQueue::find(int64_t id) {
  for (Timer& timer : timers_) {
    if (timer.id == id) return &timer;
  }
  return nullptr;
}

void TimerQueue::runDue(uint64_t nowMs,
                        const std::function<void(int64_t, const std::string&)>& call) {
  // Every pick is rescheduled past nowMs first, so each timer is called at
  // most once per run and the loop ends.
  while (Timer* timer = earliestDue(nowMs)) {
    if (timer->remaining == 1) {
      timer->finished = true;
    } else {
      if (timer->remaining > 1) --timer->remaining;
      uint64_t next = saturatingAdd(timer->dueMs, timer->intervalMs);
      if (next <= nowMs) {
        // Behind by more than one interval: keep the phase, skip the misses.
        uint64_t missed = (nowMs - timer->dueMs) / timer->intervalMs;
        next = saturatingAdd(timer->dueMs, saturatingAdd(missed, 1) * timer->intervalMs);
        if (next <= nowMs) next = saturatingAdd(nowMs, 1);
      }
      timer->dueMs = next;
    }
    int64_t id = timer->id;
    std::string name = timer->functionName;
    call(id, name);  // may add or kill timers, this one included
    Timer* after = find(id);
    if (after != nullptr && after->finished) kill(id);
  }
}

}  // namespace gsadmin
