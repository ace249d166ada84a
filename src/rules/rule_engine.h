#ifndef GSADMIN_RULES_RULE_ENGINE_H_
#define GSADMIN_RULES_RULE_ENGINE_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "rules/rule_set.h"

namespace gsadmin {

class NameSkeletons;

// The time one event may take through every rule; the rules after it are
// skipped for that event, which is counted.
inline constexpr int64_t kRuleEventBudgetUs = 2000;
// The players a rule keeps counts for; past it the idle ones are dropped.
inline constexpr size_t kMaxTrackedPlayers = 4096;
// The span `.rules` counts matches over.
inline constexpr int64_t kRuleListingSeconds = 3600;

// What the rules watch, with the names and texts as the console prints
// them, so that a console log replays to the same decisions.
struct RuleEvent {
  enum class Kind { kChat, kKill, kJoin };
  Kind kind = Kind::kChat;
  int64_t second = 0;  // wall-clock seconds since the epoch
  std::string player;  // the speaker, the killer or the one who joined
  std::string victim;  // kKill
  std::string text;    // kChat
};

// One act a rule takes: the ladder's step for this match.
struct Decision {
  std::string rule;
  std::string player;
  LadderStep step;
  std::string why;      // the matching line or event, for the reason
  std::string message;  // the rule's message for the player, filled in; may be empty
  // "RULE flood: kick Bob (5 lines in 10s: "hi")": printed live and in
  // a replay alike.
  std::string line() const;
};

// Matches events against a rule set and climbs each player's ladder. Knows
// nothing of the session: the caller carries the decisions out, live or
// printed. Same rules and events in the same order give the same
// decisions, unless the time budget cut an event short.
class RuleEngine {
 public:
  explicit RuleEngine(RuleSet rules, int64_t budgetUs = kRuleEventBudgetUs);
  ~RuleEngine();
  RuleEngine(const RuleEngine&) = delete;
  RuleEngine& operator=(const RuleEngine&) = delete;

  std::vector<Decision> observe(const RuleEvent& event);

  const RuleSet& rules() const { return rules_; }
  // The matches of rule `index` in the kRuleListingSeconds before `now`.
  size_t recentMatches(size_t index, int64_t now) const;
  // Events cut short by the time budget.
  uint64_t skippedEvents() const { return skipped_; }

  // Whether a name rule compares names with the admins in game
  // (like_admins), who are then given by setGameAdmins().
  bool wantsGameAdmins() const { return wantsGameAdmins_; }
  // The names of the admins in game, in place of those given before; cheap
  // when they are the same.
  void setGameAdmins(const std::vector<std::string>& names);

 private:
  struct PlayerState {
    std::deque<int64_t> times;  // lines or kills in the rule's seconds
    std::string lastText;       // repeat: the text being counted
    std::deque<int64_t> steps;  // matches in the ladder's window
  };
  struct RuleState {
    std::unordered_map<std::string, PlayerState> players;
    std::deque<int64_t> matches;
  };

  // Why `rule` matches `event` for the player, or empty.
  std::string check(const Rule& rule, PlayerState& state, const RuleEvent& event);
  std::string checkName(const Rule& rule, const std::string& name) const;
  // The admin of `admins` whose skeleton `skeleton` is, not `name` itself.
  static const std::string* lookAlike(const std::string& name, const std::string& skeleton,
                                      const std::vector<std::string>& admins,
                                      const std::vector<std::string>& skeletons);
  Decision climb(size_t index, PlayerState& state, const RuleEvent& event, std::string why);
  PlayerState& stateOf(RuleState& rule, const std::string& player, int64_t now);

  RuleSet rules_;
  std::vector<RuleState> states_;
  std::unique_ptr<NameSkeletons> skeletons_;              // with a name rule's admins
  std::vector<std::vector<std::string>> adminSkeletons_;  // by rule
  bool wantsGameAdmins_ = false;
  std::vector<std::string> gameAdmins_;  // setGameAdmins()
  std::vector<std::string> gameAdminSkeletons_;
  int64_t budgetUs_;
  uint64_t skipped_ = 0;
  PlayerState judgedAlone_;  // what words and name rules check with: untouched
};

}  // namespace gsadmin

#endif  // GSADMIN_RULES_RULE_ENGINE_H_
