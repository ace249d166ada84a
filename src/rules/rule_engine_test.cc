#include "rules/rule_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gsadmin {
namespace {

RuleEngine engineOf(const std::string& text) {
  std::string error;
  std::optional<RuleSet> set = parseRuleSet(text, "r.toml", &error);
  EXPECT_TRUE(set) << error;
  return RuleEngine(set ? std::move(*set) : RuleSet{});
}

RuleEvent chat(int64_t second, std::string player, std::string text) {
  return RuleEvent{RuleEvent::Kind::kChat, second, std::move(player), "", std::move(text)};
}

RuleEvent kill(int64_t second, std::string killer, std::string victim) {
  return RuleEvent{RuleEvent::Kind::kKill, second, std::move(killer), std::move(victim), ""};
}

RuleEvent join(int64_t second, std::string player) {
  return RuleEvent{RuleEvent::Kind::kJoin, second, std::move(player), "", ""};
}

// The decision lines of every event in turn.
std::vector<std::string> decide(RuleEngine& engine, const std::vector<RuleEvent>& events) {
  std::vector<std::string> lines;
  for (const RuleEvent& event : events) {
    for (const Decision& decision : engine.observe(event)) lines.push_back(decision.line());
  }
  return lines;
}

TEST(RuleEngineTest, AFlooderClimbsTheLadderWithinTheWindowAndStartsAgainAfterIt) {
  RuleEngine engine = engineOf(R"([[rule]]
name = "flood"
kind = "flood"
lines = 3
seconds = 10
acts = ["warn", "kick", "tempban 1h"]
window = "10m"
message = "Slow down, {name}."
)");
  std::vector<RuleEvent> events;
  for (int64_t at : {0, 1, 2, 20, 21, 29, 40, 45, 49, 60, 61, 62}) {
    events.push_back(chat(at, "Bob", "x" + std::to_string(at)));
  }
  events.push_back(chat(63, "Ann", "fine"));
  // Spread too thin: 100, 110, 120 never make 3 within 10 s.
  for (int64_t at : {100, 110, 120}) events.push_back(chat(at, "Cy", "slow"));
  // Past the window the ladder starts again.
  for (int64_t at : {700, 701, 702}) events.push_back(chat(at, "Bob", "late"));
  EXPECT_EQ(decide(engine, events), (std::vector<std::string>{
                                        "RULE flood: warn Bob (3 lines in 10s: \"x2\")",
                                        "RULE flood: kick Bob (3 lines in 10s: \"x29\")",
                                        "RULE flood: tempban 1h Bob (3 lines in 10s: \"x49\")",
                                        "RULE flood: tempban 1h Bob (3 lines in 10s: \"x62\")",
                                        "RULE flood: warn Bob (3 lines in 10s: \"late\")",
                                    }));
  EXPECT_EQ(engine.recentMatches(0, 702), 5u);
  EXPECT_EQ(engine.recentMatches(0, 3700), 1u);  // the last hour holds "late" alone
}

TEST(RuleEngineTest, RepeatedLinesWordsWithExceptionsStreaksAndNames) {
  RuleEngine engine = engineOf(R"([[rule]]
name = "repeat"
kind = "repeat"
lines = 3
seconds = 30
acts = ["warn"]

[[rule]]
name = "words"
kind = "words"
patterns = ["(?i)badword\\d*"]
words = ["noob"]
except = ["(?i)badwordsmith"]
acts = ["message", "kick"]
message = "Mind your words, {name}."

[[rule]]
name = "streak"
kind = "streak"
kills = 3
seconds = 60
acts = ["admins"]

[[rule]]
name = "names"
kind = "name"
patterns = ["(?i)admin"]
admins = ["Warden"]
acts = ["kick"]
)");
  std::vector<RuleEvent> events = {
      chat(0, "Ann", "hello"),      chat(1, "Ann", "hello"),
      chat(2, "Ann", "hi"),         chat(3, "Ann", "hello"),
      chat(4, "Ann", "hello"),      chat(5, "Ann", "hello"),
      chat(6, "Bo", "a BADWORD42"), chat(7, "Bo", "the badwordsmith"),
      chat(8, "Bo", "noobs"),       chat(9, "Bo", "you noob"),
      kill(10, "Cy", "Ann"),        kill(11, "Cy", "Cy"),
      kill(12, "Cy", "Bo"),         kill(13, "Cy", "Ann"),
      join(14, "TheAdmin"),         join(15, "Warden"),
      join(16, "WARDEN"),
  };
  EXPECT_EQ(decide(engine, events),
            (std::vector<std::string>{
                "RULE repeat: warn Ann (\"hello\" 3 times in 30s)",
                "RULE words: message Bo (said \"a BADWORD42\")",
                "RULE words: kick Bo (said \"you noob\")",
                "RULE streak: admins Cy (3 kills in 1m)",
                "RULE names: kick TheAdmin (name matches \"(?i)admin\")",
                "RULE names: kick WARDEN (name looks like the admin \"Warden\")",
            }));
}

// like_admins compares names with the admins in game as last given: none
// before they are known, the admin's own name never, a newcomer once given.
TEST(RuleEngineTest, NamesLikeTheAdminsInGame) {
  RuleEngine engine = engineOf(R"([[rule]]
name = "impostor"
kind = "name"
like_admins = true
acts = ["kick"]
)");
  ASSERT_TRUE(engine.wantsGameAdmins());
  EXPECT_EQ(decide(engine, {join(0, "MOD")}), std::vector<std::string>{});
  engine.setGameAdmins({"Mod", "Warden"});
  engine.setGameAdmins({"Mod", "Warden"});  // the same again: nothing to redo
  EXPECT_EQ(decide(engine, {join(1, "MOD"), join(2, "Mod"), join(3, "Warden"), join(4, "Wardem"),
                            join(5, "wArDeN")}),
            (std::vector<std::string>{
                "RULE impostor: kick MOD (name looks like the admin \"Mod\")",
                "RULE impostor: kick wArDeN (name looks like the admin \"Warden\")",
            }));
  engine.setGameAdmins({"Ivy"});
  EXPECT_EQ(
      decide(engine, {join(6, "MOD"), join(7, "IVY")}),
      std::vector<std::string>{"RULE impostor: kick IVY (name looks like the admin \"Ivy\")"});
  EXPECT_FALSE(engineOf("[[rule]]\nname = \"n\"\nkind = \"name\"\npatterns = [\"x\"]\n"
                        "acts = [\"kick\"]\n")
                   .wantsGameAdmins());
}

TEST(RuleEngineTest, ATeamKillerIsKickedAtTheThirdTeamKillInTenMinutes) {
  RuleEngine engine = engineOf(R"([[rule]]
name = "teamkill"
kind = "teamkill"
kills = 3
seconds = "10m"
acts = ["kick"]
)");
  std::vector<RuleEvent> events = {
      kill(0, "[RED]Ann", "[RED]Bo"),   kill(60, "[RED]Ann", "[BLU]Cy"),
      kill(120, "[RED]Ann", "[RED]Bo"), kill(130, "Dee", "Eve"),
      kill(700, "[RED]Ann", "[RED]Bo"),  // the first is past 10 minutes
      kill(710, "[RED]Ann", "[RED]Bo"),
  };
  EXPECT_EQ(decide(engine, events),
            (std::vector<std::string>{
                "RULE teamkill: kick [RED]Ann (3 team kills in 10m: killed [RED]Bo)"}));
}

TEST(RuleEngineTest, AnotherTeamTagAndAMessageForTheAdmins) {
  RuleEngine engine = engineOf(R"([[rule]]
name = "tk"
kind = "teamkill"
kills = 1
seconds = 60
team_tag = "-(\\w+)$"
acts = ["admins"]
)");
  EXPECT_EQ(decide(engine, {kill(0, "Ann-red", "Bo-blue"), kill(1, "Ann-red", "Cy-red")}),
            (std::vector<std::string>{"RULE tk: admins Ann-red (1 team kills in 1m: killed "
                                      "Cy-red)"}));
}

TEST(RuleEngineTest, TheTimeBudgetSkipsTheRestOfAnEventAndCountsIt) {
  std::string text;
  for (int i = 0; i < 3; ++i) {
    text += "[[rule]]\nname = \"r" + std::to_string(i) +
            "\"\nkind = \"words\"\nwords = [\"x\"]\nacts = [\"warn\"]\n";
  }
  std::string error;
  std::optional<RuleSet> set = parseRuleSet(text, "r.toml", &error);
  ASSERT_TRUE(set) << error;
  RuleEngine engine(std::move(*set), /*budgetUs=*/-1);
  EXPECT_EQ(engine.observe(chat(0, "Ann", "x")).size(), 1u);
  EXPECT_EQ(engine.skippedEvents(), 1u);
}

}  // namespace
}  // namespace gsadmin
