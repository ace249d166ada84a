#include "rules/schedule.h"

namespace gsadmin {

std::string countdownWords(int64_t seconds) {
  auto words = [](int64_t count, const char* unit) {
    return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
  };
  if (seconds % 86400 == 0) return words(seconds / 86400, "day");
  if (seconds % 3600 == 0) return words(seconds / 3600, "hour");
  if (seconds % 60 == 0) return words(seconds / 60, "minute");
  return words(seconds, "second");
}

std::string Firing::text(const ScheduleSet& set) const {
  const std::string& text = set.entries[entry].text;
  return before == 0 ? text : text + " in " + countdownWords(before);
}

Scheduler::Scheduler(ScheduleSet set, int64_t now) : set_(std::move(set)) {
  for (size_t entry = 0; entry < set_.entries.size(); ++entry) {
    for (size_t step = 0; step <= set_.entries[entry].countdown.size(); ++step) {
      queue(entry, step, now);
    }
  }
}

void Scheduler::queue(size_t entry, size_t step, int64_t after) {
  const ScheduleEntry& e = set_.entries[entry];
  int64_t before = step == 0 ? 0 : e.countdown[step - 1];
  // The first moment whose step falls after `after`.
  std::optional<int64_t> moment = e.cron.next(*e.zone, after + before);
  if (moment) queue_.emplace(*moment - before, Slot{entry, step, *moment});
}

std::optional<int64_t> Scheduler::nextAt() const {
  if (queue_.empty()) return std::nullopt;
  return queue_.begin()->first;
}

std::vector<Firing> Scheduler::due(int64_t now) {
  std::vector<Firing> firings;
  while (!queue_.empty() && queue_.begin()->first <= now && firings.size() < kMaxFiringsPerPass) {
    auto [at, slot] = *queue_.begin();
    queue_.erase(queue_.begin());
    const ScheduleEntry& entry = set_.entries[slot.entry];
    int64_t before = slot.step == 0 ? 0 : entry.countdown[slot.step - 1];
    // Slots are queued strictly after the one that fired, so a clock set
    // back finds nothing to fire again.
    queue(slot.entry, slot.step, at);
    if (before != 0 && slot.moment <= now) continue;  // too late to count down
    firings.push_back(Firing{slot.entry, at, slot.moment, before});
  }
  return firings;
}

}  // namespace gsadmin
