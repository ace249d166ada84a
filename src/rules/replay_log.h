#ifndef GSADMIN_RULES_REPLAY_LOG_H_
#define GSADMIN_RULES_REPLAY_LOG_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "rules/rule_engine.h"

namespace gsadmin {

// The longest log line read; longer ones are skipped.
inline constexpr size_t kMaxReplayLineBytes = 8192;

// Reads the console's own lines, each after a "[YYYY-MM-DD HH:MM:SS] "
// stamp in local time (--timestamps), back into the events the rules
// watched live. Names are told apart from the text by the players known
// from their join lines and earlier lines; a name not known yet (a player
// on the server before the login) is what comes before the first ": " or
// " killed ". The client's own lines ("* ", "ADMIN: " ...) are no chat.
class ReplayLog {
 public:
  // The event of `line`, or none for a line that is no chat, kill or join.
  std::optional<RuleEvent> read(std::string_view line);

 private:
  // The known name that `text` starts with and is followed by `separator`.
  std::optional<std::string> knownPrefix(std::string_view text, std::string_view separator) const;
  // A kill line into `event`; false for any other line.
  bool readKill(std::string_view text, RuleEvent& event);

  std::set<std::string, std::less<>> players_;
};

// Seconds since the epoch of "[YYYY-MM-DD HH:MM:SS] " at the start of
// `line` in local time, and the rest of the line; none without a stamp.
std::optional<int64_t> readStamp(std::string_view line, std::string_view* rest);

}  // namespace gsadmin

#endif  // GSADMIN_RULES_REPLAY_LOG_H_
