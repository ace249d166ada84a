#include "rules/rule_runner.h"

#include "commands/commands.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "moderation/moderation.h"

namespace gsadmin {
namespace {

// The rules reach the acts the scripts reach; the actor tells them apart.
constexpr unsigned kRuleDoor = kScriptDoor;

std::string nameOf(SessionContext& session, int32_t id) {
  if (id < 0 || id > 255) return "";
  const Player* player = session.players().find(static_cast<uint8_t>(id));
  return player != nullptr ? printable(player->name) : "";
}

// The message of "/msg RECIPIENT MESSAGE" as the console shows it.
std::string privateMessageText(std::string_view rest) {
  size_t start = rest.find_first_not_of(' ');
  if (start == std::string_view::npos) return "";
  size_t end = rest.find(' ', start);
  return end == std::string_view::npos ? "" : printable(rest.substr(end + 1));
}

}  // namespace

RuleRunner::RuleRunner(SessionContext& session, RuleSet rules)
    : session_(session), engine_(std::make_unique<RuleEngine>(std::move(rules))) {}

RuleRunner::~RuleRunner() = default;

void RuleRunner::fire(Event event, std::span<const EventArgument> arguments) {
  if (acting_) return;
  RuleEvent seen;
  seen.second = session_.clock().wallSeconds();
  switch (event) {
    case Event::kPlayerChat:
    case Event::kPlayerMessage:
      seen.kind = RuleEvent::Kind::kChat;
      seen.player = nameOf(session_, arguments[0].integer);
      seen.text = event == Event::kPlayerChat ? printable(arguments[1].text)
                                              : privateMessageText(arguments[1].text);
      break;
    case Event::kPlayerDeath:
      // Deaths without a killing player (-1) and the admin's (-2) are no kills.
      if (arguments[1].integer < 0) return;
      seen.kind = RuleEvent::Kind::kKill;
      seen.player = nameOf(session_, arguments[1].integer);
      seen.victim = nameOf(session_, arguments[0].integer);
      break;
    case Event::kPlayerJoin:
      if (!joined_.insert(static_cast<uint8_t>(arguments[0].integer)).second) return;
      seen.kind = RuleEvent::Kind::kJoin;
      seen.player = nameOf(session_, arguments[0].integer);
      break;
    case Event::kPlayerQuit:
      joined_.erase(static_cast<uint8_t>(arguments[0].integer));
      return;
    case Event::kConnect:
      // The players listed at the login printed no join line, so a replay
      // of the log cannot judge their names: neither is done live.
      joined_.clear();
      for (const auto& player : session_.players().all()) joined_.insert(player->id);
      return;
    default:
      return;
  }
  if (!seen.player.empty()) observe(std::move(seen));
}

void RuleRunner::observe(RuleEvent event) {
  if (event.kind == RuleEvent::Kind::kJoin && engine_->wantsGameAdmins()) {
    std::vector<std::string> names;
    if (Moderation* moderation = session_.moderation()) {
      for (const AdminRecord& admin : moderation->admins().all())
        names.push_back(printable(admin.name));
    }
    engine_->setGameAdmins(names);
  }
  std::vector<Decision> decisions = engine_->observe(event);
  acting_ = true;
  for (const Decision& decision : decisions) carryOut(decision);
  acting_ = false;
}

void RuleRunner::act(const Decision& decision, const char* name, std::string text,
                     int64_t seconds) {
  const Act* found = session_.commands().find(name, kRuleDoor);
  ActRequest request;
  request.actor = Actor{Actor::Kind::kRule, decision.rule, kOperatorLevel, std::nullopt};
  request.target.name = decision.player;
  for (const auto& player : session_.players().all()) {
    if (printable(player->name) == decision.player)
      request.target = Target{player->id, player->name};
  }
  request.text = std::move(text);
  request.seconds = seconds;
  Outcome outcome = found != nullptr ? session_.commands().run(*found, kRuleDoor, request)
                                     : Outcome::refused(std::string(name) + " is not here");
  if (!outcome.done()) {
    session_.console().line("* " + request.actor.label() + ": " + name + " " + decision.player +
                            ": " + printable(outcome.refusal));
  }
}

void RuleRunner::tellAdmins(const Decision& decision) {
  Moderation* moderation = session_.moderation();
  if (moderation == nullptr) return;
  std::vector<std::string> admins;
  for (const auto& player : session_.players().all()) {
    if (moderation->levelOf(*player) > 0) admins.push_back(printable(player->name));
  }
  std::string text = "rule " + decision.rule + ": " + decision.player + " (" + decision.why + ")";
  for (const std::string& admin : admins) {
    Decision toAdmin = decision;
    toAdmin.player = admin;
    act(toAdmin, "message", text);
  }
}

void RuleRunner::carryOut(const Decision& decision) {
  session_.console().line(decision.line());
  using Kind = LadderStep::Kind;
  const LadderStep& step = decision.step;
  // Said first, while the player is still there to read it.
  if (!decision.message.empty() && step.kind != Kind::kMessage) {
    act(decision, "message", decision.message);
  }
  switch (step.kind) {
    case Kind::kWarn:
      act(decision, "warn", decision.why);
      break;
    case Kind::kKick:
      act(decision, "kick", decision.why);
      break;
    case Kind::kTempban:
      act(decision, "tempban", decision.why, step.seconds);
      break;
    case Kind::kBan:
      act(decision, "ban", decision.why);
      break;
    case Kind::kMessage:
      act(decision, "message", decision.message.empty() ? decision.why : decision.message);
      break;
    case Kind::kAdmins:
      tellAdmins(decision);
      break;
  }
}

std::vector<RuleSummary> RuleRunner::summary() {
  std::vector<RuleSummary> rules;
  int64_t now = session_.clock().wallSeconds();
  const RuleSet& set = engine_->rules();
  for (size_t i = 0; i < set.rules.size(); ++i) {
    const Rule& rule = set.rules[i];
    RuleSummary entry{
        rule.name, std::string(ruleKindName(rule.kind)), {}, engine_->recentMatches(i, now)};
    for (const LadderStep& step : rule.ladder) entry.acts.push_back(step.text);
    rules.push_back(std::move(entry));
  }
  return rules;
}

std::vector<std::string> RuleRunner::listing() {
  std::vector<std::string> lines;
  lines.push_back(std::to_string(engine_->rules().rules.size()) + " rule(s) of " +
                  engine_->rules().path);
  for (const RuleSummary& rule : summary()) {
    std::string ladder;
    for (const std::string& act : rule.acts) ladder += (ladder.empty() ? "" : ", ") + act;
    lines.push_back(rule.name + " (" + rule.kind + "): " + ladder + "; " +
                    std::to_string(rule.matchesLastHour) + " match(es) in the last hour");
  }
  if (uint64_t skipped = engine_->skippedEvents()) {
    lines.push_back(std::to_string(skipped) + " event(s) cut short by the time budget");
  }
  for (const std::string& warning : engine_->rules().warnings) lines.push_back(warning);
  return lines;
}

std::vector<std::string> RuleRunner::warnings() {
  return engine_->rules().warnings;
}

std::string RuleRunner::reload() {
  std::string error;
  std::optional<RuleSet> fresh = loadRuleSet(engine_->rules().path, &error);
  if (!fresh) return error;
  engine_ = std::make_unique<RuleEngine>(std::move(*fresh));
  return "";
}

}  // namespace gsadmin
