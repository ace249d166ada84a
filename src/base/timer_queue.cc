#include "base/timer_queue.h"

#include <limits>
#include <utility>
#include <vector>

namespace gsadmin {
namespace {

constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();

uint64_t saturatingAdd(uint64_t a, uint64_t b) {
  return a > kNever - b ? kNever : a + b;
}

}  // namespace

std::optional<int64_t> TimerQueue::add(std::string functionName, uint64_t intervalMs,
                                       uint64_t times, uint64_t nowMs, uint64_t owner) {
  if (timers_.size() >= kMaxTimers) return std::nullopt;
  if (intervalMs == 0) intervalMs = 1;
  int64_t id = nextId_++;
  uint64_t dueMs = saturatingAdd(nowMs, intervalMs);
  timers_.emplace(id, Timer{id, std::move(functionName), intervalMs, times, dueMs, false, owner});
  schedule_.emplace(dueMs, id);
  return id;
}

bool TimerQueue::kill(int64_t id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return false;
  if (!it->second.finished) schedule_.erase({it->second.dueMs, id});
  timers_.erase(it);
  return true;
}

bool TimerQueue::killOwned(uint64_t owner, int64_t id) {
  std::optional<uint64_t> actual = ownerOf(id);
  return actual && *actual == owner && kill(id);
}

void TimerQueue::clearOwned(uint64_t owner) {
  std::vector<int64_t> ids;
  for (const auto& [id, timer] : timers_) {
    if (timer.owner == owner) ids.push_back(id);
  }
  for (int64_t id : ids) kill(id);
}

std::optional<uint64_t> TimerQueue::ownerOf(int64_t id) const {
  auto it = timers_.find(id);
  if (it == timers_.end()) return std::nullopt;
  return it->second.owner;
}

size_t TimerQueue::countOwned(uint64_t owner) const {
  size_t count = 0;
  for (const auto& entry : timers_) count += entry.second.owner == owner ? 1 : 0;
  return count;
}

std::optional<uint64_t> TimerQueue::nextDueMs() const {
  if (schedule_.empty()) return std::nullopt;
  return schedule_.begin()->first;
}

void TimerQueue::reschedule(Timer& timer, uint64_t nowMs) {
  if (timer.remaining == 1) {
    timer.finished = true;
    return;
  }
  if (timer.remaining > 1) --timer.remaining;
  uint64_t next = saturatingAdd(timer.dueMs, timer.intervalMs);
  if (next <= nowMs) {
    // Behind by more than one interval: keep the phase, skip the misses.
    uint64_t missed = (nowMs - timer.dueMs) / timer.intervalMs;
    next = saturatingAdd(timer.dueMs, saturatingAdd(missed, 1) * timer.intervalMs);
    if (next <= nowMs) next = saturatingAdd(nowMs, 1);
  }
  timer.dueMs = next;
  schedule_.emplace(next, timer.id);
}

void TimerQueue::runDue(uint64_t nowMs,
                        const std::function<void(int64_t, const std::string&)>& call,
                        const std::function<bool()>& stopped) {
  // Every pick is rescheduled past nowMs first, so each timer is called at
  // most once per run and the loop ends.
  while (!schedule_.empty() && schedule_.begin()->first <= nowMs) {
    if (stopped && stopped()) return;
    int64_t id = schedule_.begin()->second;
    schedule_.erase(schedule_.begin());
    Timer& timer = timers_.at(id);
    reschedule(timer, nowMs);
    std::string name = timer.functionName;
    call(id, name);  // may add or kill timers, this one included
    auto after = timers_.find(id);
    if (after != timers_.end() && after->second.finished) timers_.erase(after);
  }
}

}  // namespace gsadmin
