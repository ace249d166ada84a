#include "rules/rule_set.h"

#include <gtest/gtest.h>

#include <string>

#include "support/text_file.h"

namespace gsadmin {
namespace {

const char kFlood[] = R"([[rule]]
name = "flood"
kind = "flood"
lines = 5
seconds = 10
acts = ["warn", "kick", "tempban 1h", "ban"]
window = "10m"
message = "Slow down, {name}."
)";

TEST(RuleSetTest, ReadsARuleWithItsLadder) {
  std::string error;
  std::optional<RuleSet> set = parseRuleSet(kFlood, "r.toml", &error);
  ASSERT_TRUE(set) << error;
  ASSERT_EQ(set->rules.size(), 1u);
  const Rule& rule = set->rules[0];
  EXPECT_EQ(rule.name, "flood");
  EXPECT_EQ(rule.kind, RuleKind::kFlood);
  EXPECT_EQ(rule.count, 5);
  EXPECT_EQ(rule.seconds, 10);
  EXPECT_EQ(rule.window, 600);
  ASSERT_EQ(rule.ladder.size(), 4u);
  EXPECT_EQ(rule.ladder[2].kind, LadderStep::Kind::kTempban);
  EXPECT_EQ(rule.ladder[2].seconds, 3600);
  EXPECT_EQ(rule.line, 1);
}

TEST(RuleSetTest, TheExampleFileLoads) {
  std::string error;
  std::optional<RuleSet> set =
      parseRuleSet(testing::readSourceFile("examples/rules.toml"), "rules.toml", &error);
  ASSERT_TRUE(set) << error;
  EXPECT_GE(set->rules.size(), 5u);
}

// Each bad file is refused with its line and why.
TEST(RuleSetTest, RefusesABadFileWithItsLine) {
  const struct {
    const char* text;
    const char* error;
  } kCases[] = {
      {"[[rule]]\nname = \"a\"\nkind = \"spam\"\nacts = [\"warn\"]\n",
       "f.toml:3: unknown kind \"spam\": flood, repeat, words, teamkill, streak or name"},
      {"[[rule]]\nname = \"a\"\nkind = \"flood\"\nlines = 5\nseconds = 10\nacts = [\"jail\"]\n",
       "f.toml:6: unknown act \"jail\": warn, kick, tempban DURATION, ban, message or admins"},
      {"[[rule]]\nname = \"a\"\nkind = \"flood\"\nlines = 5\nsecnds = 10\n",
       "f.toml:1: \"seconds\" is needed"},
      {"[[rule]]\nname = \"a\"\nkind = \"words\"\npatterns = [\"(unclosed\"]\nacts = [\"warn\"]\n",
       "f.toml:4: pattern \"(unclosed\": missing ): (unclosed"},
      {"[[rule]]\nname = \"a\"\nkind = \"words\"\nacts = [\"warn\"]\n",
       "f.toml:3: a words rule needs patterns or words"},
      {"[[rule]]\nname = \"a b\"\n", "f.toml:2: a rule's name is letters, digits, - and _"},
      {"[[rule]]\nname = \"a\"\nkind = \"name\"\nacts = [\"kick\"]\n",
       "f.toml:3: a name rule needs patterns, admins or like_admins"},
      {"[[rule]]\nname = \"a\"\nkind = \"words\"\nwords = [\"x\"]\nlike_admins = true\n",
       "f.toml:5: like_admins is for a name rule"},
      {"[[rule]]\nname = \"a\"\nkind = \"name\"\nlike_admins = \"yes\"\n", "f.toml:4: "},
      {"[[rule]]\nname = \"a\"\nkind = \"flood\"\nlines = 5\nseconds = 10\nacts = [\"warn\"]\n"
       "[[rule]]\nname = \"a\"\nkind = \"flood\"\nlines = 5\nseconds = 10\nacts = [\"warn\"]\n",
       "f.toml:8: a second rule named \"a\""},
      {"rule = 3\n", "f.toml:1: unknown \"rule\": only [[rule]] tables"},
      {"[[rule]\n", "f.toml:1: "},
  };
  for (const auto& c : kCases) {
    std::string error;
    EXPECT_FALSE(parseRuleSet(c.text, "f.toml", &error)) << c.text;
    EXPECT_TRUE(error.starts_with(c.error)) << error << "\nfor\n" << c.text;
  }
}

// A key this version does not know is ignored and said, so that a file
// written for a later version still loads; a misspelt key is not silent.
TEST(RuleSetTest, IgnoresAnUnknownKeyWithAWarning) {
  std::string error;
  std::optional<RuleSet> set = parseRuleSet(
      "[[rule]]\nname = \"a\"\nkind = \"flood\"\nlines = 5\nseconds = 10\n"
      "acts = [\"warn\"]\nmesage = \"hi\"\nsomeday = { x = 1 }\n",
      "f.toml", &error);
  ASSERT_TRUE(set) << error;
  EXPECT_EQ(set->rules.at(0).message, "");
  EXPECT_EQ(set->warnings, (std::vector<std::string>{"f.toml:7: unknown key \"mesage\" ignored",
                                                     "f.toml:8: unknown key \"someday\" ignored"}));
}

std::string rules(size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text += "[[rule]]\nname = \"r" + std::to_string(i) +
            "\"\nkind = \"words\"\nwords = [\"w\"]\nacts = [\"warn\"]\n";
  }
  return text;
}

TEST(RuleSetTest, HostileFilesAreRefusedCleanly) {
  std::string error;
  EXPECT_TRUE(parseRuleSet(rules(kMaxRules), "f.toml", &error)) << error;
  EXPECT_FALSE(parseRuleSet(rules(kMaxRules + 1), "f.toml", &error));
  EXPECT_EQ(error, "f.toml:5001: more than 1000 [[rule]] tables");

  std::string huge = "# " + std::string(kMaxRulesFileBytes, 'x') + "\n";
  EXPECT_FALSE(parseRuleSet(huge, "f.toml", &error));
  EXPECT_EQ(error, "f.toml: over 1024 KiB");

  std::string deep = "a = " + std::string(100000, '[') + std::string(100000, ']') + "\n";
  EXPECT_FALSE(parseRuleSet(deep, "f.toml", &error));
  EXPECT_TRUE(error.starts_with("f.toml:1: ")) << error;

  // Nested counts past RE2's own limit.
  std::string wide =
      "[[rule]]\nname = \"a\"\nkind = \"words\"\npatterns = [\"((a{1,1000}){1,1000})"
      "{1,1000}\"]\nacts = [\"warn\"]\n";
  EXPECT_FALSE(parseRuleSet(wide, "f.toml", &error));
  EXPECT_TRUE(error.starts_with("f.toml:4: pattern ")) << error;

  // A short pattern whose Unicode class, counted, compiles past the budget.
  std::string big =
      "[[rule]]\nname = \"a\"\nkind = \"words\"\npatterns = [\"\\\\pL{200}\"]\nacts = [\"warn\"]\n";
  EXPECT_FALSE(parseRuleSet(big, "f.toml", &error));
  EXPECT_NE(error.find("KiB"), std::string::npos) << error;
}

TEST(RuleSetTest, LoadingAMissingFileSaysSo) {
  std::string error;
  EXPECT_FALSE(loadRuleSet("/nonexistent/rules.toml", &error));
  EXPECT_EQ(error, "cannot open /nonexistent/rules.toml: No such file or directory");
}

}  // namespace
}  // namespace gsadmin
