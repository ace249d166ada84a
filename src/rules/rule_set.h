#ifndef GSADMIN_RULES_RULE_SET_H_
#define GSADMIN_RULES_RULE_SET_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/pattern_list.h"

namespace gsadmin {

// The limits of a rules file, each once.
inline constexpr size_t kMaxRules = 1000;
inline constexpr size_t kMaxRulesFileBytes = 1024 * 1024;
inline constexpr size_t kMaxLadderSteps = 16;
inline constexpr size_t kMaxRuleMessageBytes = 400;
inline constexpr int64_t kMaxRuleWindowSeconds = 7 * 24 * 3600;
inline constexpr int64_t kDefaultRuleWindowSeconds = 600;
// flood and repeat lines, teamkill and streak kills: one event more than
// this in the window is never needed.
inline constexpr int64_t kMaxRuleCount = 1000;

// What a rule watches.
enum class RuleKind { kFlood, kRepeat, kWords, kTeamKill, kStreak, kName };

// One step of a ladder: an act of the command table and its duration.
struct LadderStep {
  enum class Kind { kWarn, kKick, kTempban, kBan, kMessage, kAdmins };
  Kind kind = Kind::kWarn;
  int64_t seconds = 0;  // kTempban
  // "warn", "tempban 1h": as written in the file and printed.
  std::string text;
};

// One [[rule]] of the file, checked.
struct Rule {
  std::string name;
  RuleKind kind = RuleKind::kFlood;
  int64_t count = 0;    // flood, repeat: lines; teamkill, streak: kills
  int64_t seconds = 0;  // ... within this many seconds
  PatternList patterns;
  std::vector<std::string> words;        // words: plain words, any case
  std::vector<std::string> admins;       // name: names that others may not look like
  bool likeAdmins = false;               // name: ... and the admins in game (like_admins)
  std::unique_ptr<PatternList> teamTag;  // teamkill: a pattern whose first group is the team
  std::vector<LadderStep> ladder;
  int64_t window = kDefaultRuleWindowSeconds;
  std::string message;  // {name} is the player; empty: none
  int line = 0;         // where the rule starts in the file
};

// Every rule of one file, in its order. Move-only.
struct RuleSet {
  std::string path;
  std::vector<Rule> rules;
  std::vector<std::string> warnings;  // the keys the file has and this version ignores
};

// The kind called `word`, or none.
std::optional<RuleKind> ruleKindNamed(std::string_view word);
std::string_view ruleKindName(RuleKind kind);
// A ladder step as written: "warn", "kick", "tempban 1h", "ban", "message",
// "admins"; none for anything else.
std::optional<LadderStep> parseLadderStep(std::string_view text);

// Reads and checks the rules file at `path`. On failure, empty with
// *error set to one line: "FILE:LINE: why" (FILE alone when no line
// applies). Bounded: the file's size, the number of rules and each
// pattern's compiled size are refused over their limits.
std::optional<RuleSet> loadRuleSet(const std::string& path, std::string* error);
// The same for a text already read, named `path` in the error.
std::optional<RuleSet> parseRuleSet(std::string_view text, const std::string& path,
                                    std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_RULES_RULE_SET_H_
