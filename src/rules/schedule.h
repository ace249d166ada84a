#ifndef GSADMIN_RULES_SCHEDULE_H_
#define GSADMIN_RULES_SCHEDULE_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rules/cron.h"
#include "rules/time_zone.h"

namespace gsadmin {

inline constexpr size_t kMaxScheduleEntries = 10000;
inline constexpr size_t kMaxScheduleFileBytes = 2 * 1024 * 1024;
inline constexpr size_t kMaxCountdownSteps = 10;
// The longest countdown: a week before the moment.
inline constexpr int64_t kMaxCountdownSeconds = 7 * 24 * 3600;
// The firings one pass hands out; the rest wait for the next pass, which
// is due at once.
inline constexpr size_t kMaxFiringsPerPass = 1000;

// One [[schedule]] entry, checked.
struct ScheduleEntry {
  enum class What { kChat, kAdmins, kCommand, kCall };
  std::string name;
  Cron cron;
  std::shared_ptr<const TimeZone> zone;  // shared by the entries of one zone
  What what = What::kChat;
  std::string text;                // the chat or admins text, the command line, "script.function"
  std::vector<int64_t> countdown;  // seconds before the moment, largest first
  int line = 0;
};

struct ScheduleSet {
  std::string path;
  std::vector<ScheduleEntry> entries;
  std::vector<std::string> warnings;  // the keys the file has and this version ignores
};

// Reads and checks the schedule file; on failure none with *error set to
// "FILE:LINE: why". Zones come from the database under `zoneRoot`.
std::optional<ScheduleSet> loadScheduleSet(const std::string& path, std::string* error,
                                           const std::string& zoneRoot = kZoneInfoRoot);
std::optional<ScheduleSet> parseScheduleSet(std::string_view text, const std::string& path,
                                            std::string* error,
                                            const std::string& zoneRoot = kZoneInfoRoot);

// "15 minutes", "1 hour", "90 seconds": a countdown's words.
std::string countdownWords(int64_t seconds);

// One moment an entry is due: its own, or a step of its countdown.
struct Firing {
  size_t entry = 0;
  int64_t at = 0;      // UTC seconds when due
  int64_t moment = 0;  // the entry's moment this stands for
  int64_t before = 0;  // a countdown step: seconds before the moment; 0 the moment
  // The text to say: a countdown step's "TEXT in 15 minutes".
  std::string text(const ScheduleSet& set) const;
};

// When the entries of a set fire, on a wall clock that may jump: every
// moment after the start fires once, in order, whichever way the clock
// steps, and across a zone's change of offset nothing is missed and
// nothing fires twice. A countdown step whose moment has already passed
// when it is due is dropped. Knows no clock: the caller passes the time.
class Scheduler {
 public:
  Scheduler(ScheduleSet set, int64_t now);

  const ScheduleSet& set() const { return set_; }
  // When the next firing is due, or none.
  std::optional<int64_t> nextAt() const;
  // The firings due at `now`, in order of time; at most kMaxFiringsPerPass.
  std::vector<Firing> due(int64_t now);

 private:
  struct Slot {
    size_t entry;
    size_t step;  // 0: the moment; k: countdown[k - 1]
    int64_t moment;
  };
  // Queues the slot's next moment after `after`.
  void queue(size_t entry, size_t step, int64_t after);

  ScheduleSet set_;
  std::multimap<int64_t, Slot> queue_;  // by when due
};

}  // namespace gsadmin

#endif  // GSADMIN_RULES_SCHEDULE_H_
