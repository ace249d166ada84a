#ifndef GSADMIN_PANEL_ACTION_OUTCOMES_H_
#define GSADMIN_PANEL_ACTION_OUTCOMES_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "panel/loop_queue.h"
#include "platform/clock.h"

namespace gsadmin {

// The panel's recent actions, by account and id: each id's task on the
// loop, so that an action asked for again under its id is not carried out
// twice and its outcome can be read after its request was answered. Each
// account sees only its own ids. Safe from any thread; the clock must
// outlive the table and be safe to read from any thread.
class ActionOutcomes {
 public:
  // Bounds each account's table; the oldest ended action goes first.
  static constexpr size_t kPerAccount = 100;
  // An ended action is forgotten this long after it was asked for.
  static constexpr uint64_t kKeepMs = 3600 * 1000;

  enum class Claim {
    kStarted,      // new (or never started before): `start` made its task
    kKnown,        // asked for before: its task, which may have ended
    kOtherAction,  // the id names another action of the account
    kFull,         // the account has kPerAccount actions that have not ended
  };
  struct Claimed {
    Claim claim = Claim::kFull;
    std::shared_ptr<LoopTask> task;  // null for kOtherAction and kFull
  };

  explicit ActionOutcomes(Clock& clock) : clock_(clock) {}

  // The action `id` of `account`, which `fingerprint` describes. When the
  // id is new, or names the same action that was withdrawn unrun, calls
  // `start` (under the table's lock, so once per id at a time) and records
  // the task it makes.
  Claimed claim(const std::string& account, const std::string& id, const std::string& fingerprint,
                const std::function<std::shared_ptr<LoopTask>()>& start);

  // The task of the action `id` of `account`; null when none is known.
  std::shared_ptr<LoopTask> find(const std::string& account, const std::string& id);

 private:
  struct Entry {
    std::string id;
    std::string fingerprint;
    std::shared_ptr<LoopTask> task;
    uint64_t askedMs = 0;
  };

  // Under mutex_: forgets the account's ended actions past kKeepMs, then
  // the oldest ended one while the table is full; false when it stays full.
  bool makeRoom(std::deque<Entry>& entries, uint64_t nowMs);

  Clock& clock_;
  std::mutex mutex_;
  // Oldest first.
  std::unordered_map<std::string, std::deque<Entry>> accounts_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_ACTION_OUTCOMES_H_
