#ifndef GSADMIN_TOOLS_SIM_SIM_LOG_H_
#define GSADMIN_TOOLS_SIM_SIM_LOG_H_

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace gsadmin::sim {

// The simulator's account of what it does: one line per action, stamped with
// the scenario time in seconds ("   12.5 Bob joins (id 1)"), or "-" before
// the scenario has started.
class SimLog {
 public:
  // Writes to `out`, or keeps the lines in memory when it is null. `clock`
  // must outlive the log.
  SimLog(Clock& clock, std::FILE* out);

  // From now on lines carry the scenario time: real time since `startMs`
  // multiplied by `speed`.
  void startRound(uint64_t startMs, double speed);
  // From now on every line is stamped with the wall clock's seconds since
  // the epoch to the microsecond ("1796731200.123456"), so that another
  // program's records of the same moments can be lined up with it.
  void stampWithEpoch() { epochStamps_ = true; }

  void line(const std::string& text);

  // The lines written so far, when kept in memory.
  const std::vector<std::string>& kept() const { return kept_; }

 private:
  Clock& clock_;
  std::FILE* out_;
  std::optional<uint64_t> roundStartMs_;
  double speed_ = 1.0;
  bool epochStamps_ = false;
  std::vector<std::string> kept_;
};

// A coordinate or health as "-831.6".
std::string formatNumber(float value);

}  // namespace gsadmin::sim

#endif  // GSADMIN_TOOLS_SIM_SIM_LOG_H_
