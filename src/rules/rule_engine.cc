#include "rules/rule_engine.h"

#include <algorithm>
#include <chrono>

#include "base/durations.h"
#include "moderation/name_skeleton.h"

namespace gsadmin {
namespace {

// The longest piece of a line a reason quotes.
constexpr size_t kQuotedBytes = 100;

std::string quote(std::string_view text) {
  if (text.size() > kQuotedBytes) return "\"" + std::string(text.substr(0, kQuotedBytes)) + "...\"";
  return "\"" + std::string(text) + "\"";
}

void dropBefore(std::deque<int64_t>& times, int64_t oldest) {
  while (!times.empty() && times.front() < oldest) times.pop_front();
}

std::string filled(std::string_view text, std::string_view name) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text.substr(i).starts_with("{name}")) {
      out += name;
      i += 6;
    } else {
      out += text[i++];
    }
  }
  return out;
}

bool isKillOfAnother(const RuleEvent& event) {
  return event.kind == RuleEvent::Kind::kKill && event.player != event.victim;
}

// Counts one more event at `now`; true when `count` fall within `seconds`,
// which starts the count again.
bool countReaches(std::deque<int64_t>& times, int64_t now, int64_t count, int64_t seconds) {
  times.push_back(now);
  dropBefore(times, now - seconds + 1);
  if (static_cast<int64_t>(times.size()) < count) return false;
  times.clear();
  return true;
}

// The one kind of event a kind of rule watches.
RuleEvent::Kind watched(RuleKind kind) {
  switch (kind) {
    case RuleKind::kTeamKill:
    case RuleKind::kStreak:
      return RuleEvent::Kind::kKill;
    case RuleKind::kName:
      return RuleEvent::Kind::kJoin;
    default:
      return RuleEvent::Kind::kChat;
  }
}

// Whether a rule counts events of each player, or judges each alone.
bool counts(RuleKind kind) {
  return kind != RuleKind::kWords && kind != RuleKind::kName;
}

}  // namespace

std::string Decision::line() const {
  return "RULE " + rule + ": " + step.text + " " + player + " (" + why + ")";
}

RuleEngine::RuleEngine(RuleSet rules, int64_t budgetUs)
    : rules_(std::move(rules)), states_(rules_.rules.size()), budgetUs_(budgetUs) {
  adminSkeletons_.resize(rules_.rules.size());
  for (size_t i = 0; i < rules_.rules.size(); ++i) {
    if (rules_.rules[i].likeAdmins) wantsGameAdmins_ = true;
    if (rules_.rules[i].admins.empty()) continue;
    if (!skeletons_) skeletons_ = std::make_unique<NameSkeletons>();
    for (const std::string& admin : rules_.rules[i].admins) {
      adminSkeletons_[i].push_back(skeletons_->of(admin));
    }
  }
}

RuleEngine::~RuleEngine() = default;

RuleEngine::PlayerState& RuleEngine::stateOf(RuleState& rule, const std::string& player,
                                             int64_t now) {
  if (rule.players.size() >= kMaxTrackedPlayers && rule.players.count(player) == 0) {
    // Players whose counts and ladder have run out are forgotten first.
    std::erase_if(rule.players, [now](const auto& entry) {
      const PlayerState& state = entry.second;
      int64_t last = std::max(state.times.empty() ? 0 : state.times.back(),
                              state.steps.empty() ? 0 : state.steps.back());
      return last < now - kMaxRuleWindowSeconds;
    });
    if (rule.players.size() >= kMaxTrackedPlayers) rule.players.clear();
  }
  return rule.players[player];
}

void RuleEngine::setGameAdmins(const std::vector<std::string>& names) {
  if (!wantsGameAdmins_ || names == gameAdmins_) return;
  if (!skeletons_) skeletons_ = std::make_unique<NameSkeletons>();
  gameAdmins_ = names;
  gameAdminSkeletons_.clear();
  for (const std::string& admin : gameAdmins_) gameAdminSkeletons_.push_back(skeletons_->of(admin));
}

const std::string* RuleEngine::lookAlike(const std::string& name, const std::string& skeleton,
                                         const std::vector<std::string>& admins,
                                         const std::vector<std::string>& skeletons) {
  for (size_t i = 0; i < admins.size(); ++i) {
    if (name != admins[i] && skeleton == skeletons[i]) return &admins[i];
  }
  return nullptr;
}

std::string RuleEngine::checkName(const Rule& rule, const std::string& name) const {
  if (std::optional<std::string> pattern = rule.patterns.match(name)) {
    return "name matches " + quote(*pattern);
  }
  size_t index = static_cast<size_t>(&rule - rules_.rules.data());
  bool withGameAdmins = rule.likeAdmins && !gameAdmins_.empty();
  if (adminSkeletons_[index].empty() && !withGameAdmins) return "";
  std::string skeleton = skeletons_->of(name);
  const std::string* admin = lookAlike(name, skeleton, rule.admins, adminSkeletons_[index]);
  if (admin == nullptr && withGameAdmins)
    admin = lookAlike(name, skeleton, gameAdmins_, gameAdminSkeletons_);
  return admin != nullptr ? "name looks like the admin " + quote(*admin) : "";
}

std::string RuleEngine::check(const Rule& rule, PlayerState& state, const RuleEvent& event) {
  using Kind = RuleEvent::Kind;
  int64_t now = event.second;
  switch (rule.kind) {
    case RuleKind::kFlood:
      if (event.kind != Kind::kChat || !countReaches(state.times, now, rule.count, rule.seconds))
        return "";
      return std::to_string(rule.count) + " lines in " + formatDuration(rule.seconds) + ": " +
             quote(event.text);
    case RuleKind::kRepeat:
      if (event.kind != Kind::kChat) return "";
      if (event.text != state.lastText) {
        state.times.clear();
        state.lastText = event.text;
      }
      if (!countReaches(state.times, now, rule.count, rule.seconds)) return "";
      return quote(event.text) + " " + std::to_string(rule.count) + " times in " +
             formatDuration(rule.seconds);
    case RuleKind::kWords:
      if (event.kind != Kind::kChat) return "";
      if (std::optional<std::string> pattern = rule.patterns.match(event.text)) {
        return "said " + quote(event.text);
      }
      return "";
    case RuleKind::kTeamKill: {
      if (!isKillOfAnother(event)) return "";
      std::optional<std::string> team = rule.teamTag->capture(event.player);
      if (!team || team != rule.teamTag->capture(event.victim)) return "";
      if (!countReaches(state.times, now, rule.count, rule.seconds)) return "";
      return std::to_string(rule.count) + " team kills in " + formatDuration(rule.seconds) +
             ": killed " + event.victim;
    }
    case RuleKind::kStreak:
      if (!isKillOfAnother(event) || !countReaches(state.times, now, rule.count, rule.seconds))
        return "";
      return std::to_string(rule.count) + " kills in " + formatDuration(rule.seconds);
    case RuleKind::kName:
      return event.kind == Kind::kJoin ? checkName(rule, event.player) : "";
  }
  return "";
}

Decision RuleEngine::climb(size_t index, PlayerState& state, const RuleEvent& event,
                           std::string why) {
  const Rule& rule = rules_.rules[index];
  dropBefore(state.steps, event.second - rule.window + 1);
  state.steps.push_back(event.second);
  size_t step = std::min(state.steps.size(), rule.ladder.size()) - 1;
  std::deque<int64_t>& matches = states_[index].matches;
  dropBefore(matches, event.second - kRuleListingSeconds + 1);
  matches.push_back(event.second);
  return Decision{rule.name, event.player, rule.ladder[step], std::move(why),
                  filled(rule.message, event.player)};
}

std::vector<Decision> RuleEngine::observe(const RuleEvent& event) {
  std::vector<Decision> decisions;
  auto start = std::chrono::steady_clock::now();
  for (size_t i = 0; i < rules_.rules.size(); ++i) {
    const Rule& rule = rules_.rules[i];
    if (watched(rule.kind) != event.kind) continue;
    // A player's state is looked up only where it counts or climbs.
    PlayerState* state =
        counts(rule.kind) ? &stateOf(states_[i], event.player, event.second) : &judgedAlone_;
    std::string why = check(rule, *state, event);
    if (!why.empty()) {
      if (state == &judgedAlone_) state = &stateOf(states_[i], event.player, event.second);
      decisions.push_back(climb(i, *state, event, std::move(why)));
    }
    auto spent = std::chrono::steady_clock::now() - start;
    if (i + 1 < rules_.rules.size() && spent > std::chrono::microseconds(budgetUs_)) {
      ++skipped_;
      break;
    }
  }
  return decisions;
}

size_t RuleEngine::recentMatches(size_t index, int64_t now) const {
  const std::deque<int64_t>& matches = states_[index].matches;
  return static_cast<size_t>(std::count_if(matches.begin(), matches.end(), [now](int64_t at) {
    return at > now - kRuleListingSeconds && at <= now;
  }));
}

}  // namespace gsadmin
