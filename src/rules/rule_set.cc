#include "rules/rule_set.h"

#include <iterator>
#include <set>

#include "base/durations.h"
#include "platform/regular_file.h"
#include "rules/toml_reader.h"

namespace gsadmin {
namespace {

constexpr size_t kMaxRuleNameBytes = 32;
constexpr size_t kMaxListed = 200;
// The team of "[RED]Ann" is "RED".
constexpr char kDefaultTeamTag[] = R"(^\[([^\]]+)\])";

constexpr std::pair<RuleKind, std::string_view> kKindNames[] = {
    {RuleKind::kFlood, "flood"},       {RuleKind::kRepeat, "repeat"}, {RuleKind::kWords, "words"},
    {RuleKind::kTeamKill, "teamkill"}, {RuleKind::kStreak, "streak"}, {RuleKind::kName, "name"},
};

bool isRuleName(std::string_view name) {
  if (name.empty() || name.size() > kMaxRuleNameBytes) return false;
  for (char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_';
    if (!plain) return false;
  }
  return true;
}

// Patterns, exceptions and words of `table` into `into`.
bool readPatterns(TomlReader& reader, const toml::table& table, std::string_view key,
                  bool exception, PatternList& into) {
  std::optional<std::vector<std::string>> patterns =
      reader.texts(table, key, kMaxPatternsPerRule, kMaxPatternBytes);
  if (!patterns) return false;
  for (const std::string& pattern : *patterns) {
    std::string why = key == "words" ? into.addWord(pattern) : into.add(pattern, exception);
    if (!why.empty()) return reader.fail(reader.lineOf(table, key), why);
  }
  return true;
}

bool readCounts(TomlReader& reader, const toml::table& table, Rule& rule) {
  bool lines = rule.kind == RuleKind::kFlood || rule.kind == RuleKind::kRepeat;
  bool kills = rule.kind == RuleKind::kTeamKill || rule.kind == RuleKind::kStreak;
  if (!lines && !kills) return true;
  std::optional<int64_t> count =
      reader.integer(table, lines ? "lines" : "kills", lines ? 2 : 1, kMaxRuleCount, true);
  std::optional<int64_t> seconds =
      count ? reader.duration(table, "seconds", kMaxRuleWindowSeconds, true) : std::nullopt;
  if (!seconds) return false;
  rule.count = *count;
  rule.seconds = *seconds;
  return true;
}

bool readMatching(TomlReader& reader, const toml::table& table, Rule& rule) {
  if (!readPatterns(reader, table, "patterns", false, rule.patterns) ||
      !readPatterns(reader, table, "words", false, rule.patterns) ||
      !readPatterns(reader, table, "except", true, rule.patterns)) {
    return false;
  }
  std::optional<std::vector<std::string>> admins =
      reader.texts(table, "admins", kMaxListed, kMaxRuleNameBytes * 4);
  if (!admins) return false;
  rule.admins = std::move(*admins);
  std::optional<bool> likeAdmins = reader.boolean(table, "like_admins");
  if (reader.failed()) return false;
  rule.likeAdmins = likeAdmins.value_or(false);
  if (rule.likeAdmins && rule.kind != RuleKind::kName) {
    return reader.fail(reader.lineOf(table, "like_admins"), "like_admins is for a name rule");
  }
  if (rule.kind == RuleKind::kTeamKill) {
    std::string tag =
        reader.text(table, "team_tag", kMaxPatternBytes, false).value_or(kDefaultTeamTag);
    if (reader.failed()) return false;
    rule.teamTag = std::make_unique<PatternList>();
    std::string why = rule.teamTag->add(tag);
    if (!why.empty()) return reader.fail(reader.lineOf(table, "team_tag"), why);
  }
  bool wantsPatterns = rule.kind == RuleKind::kWords || rule.kind == RuleKind::kName;
  if (wantsPatterns && rule.patterns.empty() && rule.admins.empty() && !rule.likeAdmins) {
    return reader.fail(reader.lineOf(table, "kind"),
                       rule.kind == RuleKind::kName
                           ? "a name rule needs patterns, admins or like_admins"
                           : "a words rule needs patterns or words");
  }
  return true;
}

bool readLadder(TomlReader& reader, const toml::table& table, Rule& rule) {
  std::optional<std::vector<std::string>> acts =
      reader.texts(table, "acts", kMaxLadderSteps, kMaxRuleNameBytes);
  if (!acts) return false;
  if (acts->empty()) return reader.fail(reader.lineOf(table, "acts"), "\"acts\" is needed");
  for (const std::string& act : *acts) {
    std::optional<LadderStep> step = parseLadderStep(act);
    if (!step) {
      return reader.fail(
          reader.lineOf(table, "acts"),
          "unknown act \"" + act + "\": warn, kick, tempban DURATION, ban, message or admins");
    }
    rule.ladder.push_back(std::move(*step));
  }
  rule.window = reader.duration(table, "window", kMaxRuleWindowSeconds, false)
                    .value_or(kDefaultRuleWindowSeconds);
  rule.message = reader.text(table, "message", kMaxRuleMessageBytes, false).value_or("");
  return !reader.failed();
}

std::optional<Rule> readRule(TomlReader& reader, const toml::table& table) {
  if (!reader.onlyKeys(table,
                       {"name", "kind", "lines", "kills", "seconds", "patterns", "words", "except",
                        "admins", "like_admins", "team_tag", "acts", "window", "message"})) {
    return std::nullopt;
  }
  Rule rule;
  rule.line = static_cast<int>(table.source().begin.line);
  std::optional<std::string> name = reader.text(table, "name", kMaxRuleNameBytes, true);
  if (!name) return std::nullopt;
  if (!isRuleName(*name)) {
    reader.fail(reader.lineOf(table, "name"), "a rule's name is letters, digits, - and _");
    return std::nullopt;
  }
  rule.name = std::move(*name);
  std::optional<std::string> kind = reader.text(table, "kind", kMaxRuleNameBytes, true);
  if (!kind) return std::nullopt;
  std::optional<RuleKind> known = ruleKindNamed(*kind);
  if (!known) {
    reader.fail(reader.lineOf(table, "kind"),
                "unknown kind \"" + *kind + "\": flood, repeat, words, teamkill, streak or name");
    return std::nullopt;
  }
  rule.kind = *known;
  if (!readCounts(reader, table, rule) || !readMatching(reader, table, rule) ||
      !readLadder(reader, table, rule)) {
    return std::nullopt;
  }
  return rule;
}

}  // namespace

std::optional<RuleKind> ruleKindNamed(std::string_view word) {
  for (const auto& [kind, name] : kKindNames) {
    if (name == word) return kind;
  }
  return std::nullopt;
}

std::string_view ruleKindName(RuleKind kind) {
  for (const auto& [each, name] : kKindNames) {
    if (each == kind) return name;
  }
  return "?";
}

std::optional<LadderStep> parseLadderStep(std::string_view text) {
  using Kind = LadderStep::Kind;
  LadderStep step;
  step.text = std::string(text);
  if (text == "warn")
    step.kind = Kind::kWarn;
  else if (text == "kick")
    step.kind = Kind::kKick;
  else if (text == "ban")
    step.kind = Kind::kBan;
  else if (text == "message")
    step.kind = Kind::kMessage;
  else if (text == "admins")
    step.kind = Kind::kAdmins;
  else if (text.starts_with("tempban ")) {
    std::optional<int64_t> seconds = parseDuration(text.substr(8));
    if (!seconds) return std::nullopt;
    step.kind = Kind::kTempban;
    step.seconds = *seconds;
  } else {
    return std::nullopt;
  }
  return step;
}

std::optional<RuleSet> parseRuleSet(std::string_view text, const std::string& path,
                                    std::string* error) {
  error->clear();
  TomlReader reader(path, error);
  std::optional<toml::table> root = reader.parse(text, kMaxRulesFileBytes);
  if (!root) return std::nullopt;
  std::optional<std::vector<const toml::table*>> tables =
      reader.arrayOfTables(*root, "rule", kMaxRules);
  if (!tables) return std::nullopt;
  RuleSet set;
  set.path = path;
  std::set<std::string> names;
  for (const toml::table* table : *tables) {
    std::optional<Rule> rule = readRule(reader, *table);
    if (!rule) return std::nullopt;
    if (!names.insert(rule->name).second) {
      reader.fail(reader.lineOf(*table, "name"), "a second rule named \"" + rule->name + "\"");
      return std::nullopt;
    }
    set.rules.push_back(std::move(*rule));
  }
  set.warnings = reader.takeWarnings();
  return set;
}

std::optional<RuleSet> loadRuleSet(const std::string& path, std::string* error) {
  // One byte more than the limit tells a file over it.
  std::optional<std::string> text = readRegularFile(path, kMaxRulesFileBytes, error);
  if (!text) return std::nullopt;
  return parseRuleSet(*text, path, error);
}

}  // namespace gsadmin
