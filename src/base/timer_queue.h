#ifndef GSADMIN_BASE_TIMER_QUEUE_H_
#define GSADMIN_BASE_TIMER_QUEUE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace gsadmin {

// The scripts' timers: each names a global function to call every
// `intervalMs`, a given number of times or until killed. The queue knows
// nothing of Lua or of clocks; its owner passes the time in and makes the
// calls. Ids start at 1 and are never reused by one queue. Adding, killing
// and finding the next due timer take O(log n) for n timers.
class TimerQueue {
 public:
  // More timers than this at once are refused, so that a runaway script
  // cannot exhaust the process's memory outside its own ceiling.
  static constexpr size_t kMaxTimers = 100000;

  // Schedules a timer first due at nowMs + intervalMs (intervalMs >= 1).
  // `times` 0 means until killed. Returns its id, or empty when the queue
  // is full. `owner` tags it for killOwned, clearOwned and ownerOf.
  std::optional<int64_t> add(std::string functionName, uint64_t intervalMs, uint64_t times,
                             uint64_t nowMs, uint64_t owner = 0);

  // Stops the timer; true when there was one with that id. A timer killed
  // while its own call runs is not called again; one killed while due but
  // not yet called is not called at all.
  bool kill(int64_t id);
  // kill(), only when the timer is `owner`'s.
  bool killOwned(uint64_t owner, int64_t id);
  // Kills every timer of `owner`.
  void clearOwned(uint64_t owner);
  // The owner of the timer `id` (also during its call), or empty.
  std::optional<uint64_t> ownerOf(int64_t id) const;
  // The number of timers of `owner`.
  size_t countOwned(uint64_t owner) const;

  // Drops every timer; ids go on counting.
  void clear() {
    timers_.clear();
    schedule_.clear();
  }

  // When the earliest timer is due, or empty when there is none.
  std::optional<uint64_t> nextDueMs() const;

  // Calls `call(id, functionName)` once for every timer due at `nowMs`, in
  // order of due time (then of id). Each is rescheduled before its call,
  // whether the call fails or not, to its next slot after `nowMs` (missed
  // slots are skipped, not caught up). A timer whose last time it was stays
  // killable during the call and is removed after it. Timers added during
  // the calls are first due after `nowMs`. The name is a copy the call may
  // keep. When `stopped` is given and returns true before a call, the run
  // ends there: the timers not yet called stay due, in their order, for the
  // next run.
  void runDue(uint64_t nowMs, const std::function<void(int64_t, const std::string&)>& call,
              const std::function<bool()>& stopped = nullptr);

  size_t size() const { return timers_.size(); }

 private:
  struct Timer {
    int64_t id;
    std::string functionName;
    uint64_t intervalMs;
    uint64_t remaining;  // calls left; 0: until killed
    uint64_t dueMs;
    bool finished;  // its last call is under way
    uint64_t owner;
  };

  // Moves `timer` (just taken off the schedule) to its next slot after
  // nowMs, or marks its last call as under way.
  void reschedule(Timer& timer, uint64_t nowMs);

  std::map<int64_t, Timer> timers_;  // by id
  // (dueMs, id) of every timer whose last call is not under way: the
  // earliest is first, and ties go by id.
  std::set<std::pair<uint64_t, int64_t>> schedule_;
  int64_t nextId_ = 1;
};

}  // namespace gsadmin

#endif  // GSADMIN_BASE_TIMER_QUEUE_H_
