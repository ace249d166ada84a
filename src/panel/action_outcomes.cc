#include "panel/action_outcomes.h"

#include <algorithm>

namespace gsadmin {
namespace {

// Whether the task will never change again; a task past its deadline is
// withdrawn here rather than when the loop comes to it.
bool ended(LoopTask& task, uint64_t nowMs) {
  task.withdrawIfLate(nowMs);
  LoopTask::State state = task.state();
  return state == LoopTask::State::kDone || state == LoopTask::State::kWithdrawn;
}

}  // namespace

ActionOutcomes::Claimed ActionOutcomes::claim(
    const std::string& account, const std::string& id, const std::string& fingerprint,
    const std::function<std::shared_ptr<LoopTask>()>& start) {
  uint64_t now = clock_.nowMs();
  std::lock_guard<std::mutex> lock(mutex_);
  std::deque<Entry>& entries = accounts_[account];
  auto known = std::find_if(entries.begin(), entries.end(),
                            [&id](const Entry& entry) { return entry.id == id; });
  if (known != entries.end()) {
    if (known->fingerprint != fingerprint) return {Claim::kOtherAction, nullptr};
    ended(*known->task, now);
    // Nothing of a withdrawn action was done: asking again may do it once.
    if (known->task->state() != LoopTask::State::kWithdrawn) return {Claim::kKnown, known->task};
    known->task = start();
    known->askedMs = now;
    return {Claim::kStarted, known->task};
  }
  if (!makeRoom(entries, now)) return {Claim::kFull, nullptr};
  entries.push_back(Entry{id, fingerprint, start(), now});
  return {Claim::kStarted, entries.back().task};
}

std::shared_ptr<LoopTask> ActionOutcomes::find(const std::string& account, const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = accounts_.find(account);
  if (found == accounts_.end()) return nullptr;
  for (const Entry& entry : found->second) {
    if (entry.id == id) return entry.task;
  }
  return nullptr;
}

bool ActionOutcomes::makeRoom(std::deque<Entry>& entries, uint64_t nowMs) {
  std::erase_if(entries, [nowMs](const Entry& entry) {
    return nowMs - entry.askedMs > kKeepMs && ended(*entry.task, nowMs);
  });
  if (entries.size() < kPerAccount) return true;
  // An action that has not ended keeps its id: forgetting it would let a
  // retry carry it out twice.
  auto oldest = std::find_if(entries.begin(), entries.end(),
                             [nowMs](const Entry& entry) { return ended(*entry.task, nowMs); });
  if (oldest == entries.end()) return false;
  entries.erase(oldest);
  return true;
}

}  // namespace gsadmin
