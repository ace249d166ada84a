// The registry of in-game words with callbacks that record what it did:
// which word ran, which script was called, what was replied.

#include "commands/game_words.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

constexpr int kModerator = 1;
constexpr int kAdmin = 2;
constexpr uint64_t kStats = 7;
constexpr uint64_t kOther = 8;

std::vector<GameWords::Builtin> builtins() {
  return {{"help", kModerator, false, "!help: this list"},
          {"warn", kModerator, true, "!warn PLAYER REASON"},
          {"ban", kAdmin, true, "!ban PLAYER [REASON]"},
          {"seen", kModerator, false, "!seen NAME"}};
}

class GameWordsTest : public ::testing::Test {
 protected:
  GameWords makeWords(std::vector<GameWords::Builtin> table) {
    return GameWords(
        std::move(table),
        [this](uint8_t id, int level, std::string_view word, std::string_view rest) {
          calls_.push_back("builtin " + std::to_string(id) + " " + std::to_string(level) + " " +
                           std::string(word) + " [" + std::string(rest) + "]");
        },
        [this](uint64_t owner, const std::string& function, uint8_t id, std::string_view rest) {
          calls_.push_back("script " + std::to_string(owner) + " " + function + " " +
                           std::to_string(id) + " [" + std::string(rest) + "]");
        },
        [this](uint8_t id, std::string_view line) {
          calls_.push_back("to " + std::to_string(id) + ": " + std::string(line));
        });
  }

  // What saying `text` at `level` did, as recorded lines.
  std::vector<std::string> say(int level, std::string_view text) {
    calls_.clear();
    words_.said(3, level, text);
    return std::exchange(calls_, {});
  }

  std::vector<std::string> calls_;
  GameWords words_ = makeWords(builtins());
};

using Lines = std::vector<std::string>;

TEST_F(GameWordsTest, UnknownWordsAreAnsweredOnlyOnceAScriptHasAWord) {
  EXPECT_EQ(say(0, "!foo"), Lines{});
  EXPECT_EQ(say(0, "!"), Lines{});
  EXPECT_FALSE(words_.inUse());
  EXPECT_EQ(words_.add(kStats, "stats", "onStats", "your kills", 0), "");
  EXPECT_TRUE(words_.inUse());
  struct Case {
    int level;
    std::string text;
    Lines calls;
  };
  const Case cases[] = {
      {0, "!foo bar", {"to 3: Unknown command !foo; try !help"}},
      {0, "!", {}},
      {0, "! stats", {}},
      {0, "!STATS  me", {"script 7 onStats 3 [ me]"}},
      {0, "!stats", {"script 7 onStats 3 []"}},
      // Too long or not a word: unknown, printed safely.
      {0,
       "!" + std::string(33, 'a'),
       {"to 3: Unknown command !" + std::string(33, 'a') + "; try !help"}},
      {0, "!a\x1b[2Jb x", {"to 3: Unknown command !a?[2Jb; try !help"}},
      // The built-in words: run at their level, refused or left below it.
      {kModerator, "!Warn Bob spam", {"builtin 3 1 warn [Bob spam]"}},
      {0, "!warn Bob spam", {"to 3: !warn: you may not"}},
      {kModerator, "!ban Bob", {"to 3: !ban: you may not"}},
      {kAdmin, "!ban Bob", {"builtin 3 2 ban [Bob]"}},
      {0, "!seen Bob", {}},
      {kModerator, "!seen Bob", {"builtin 3 1 seen [Bob]"}},
  };
  for (const Case& c : cases) EXPECT_EQ(say(c.level, c.text), c.calls) << c.text;
  words_.removeOwned(kStats);
  EXPECT_FALSE(words_.inUse());
  EXPECT_EQ(say(0, "!stats"), Lines{});
}

TEST_F(GameWordsTest, ScriptsGetTheWordsTheModerationLeavesToThemForPlayers) {
  EXPECT_EQ(words_.add(kStats, "warn", "f", "", 0), "!warn is a built-in command.");
  EXPECT_EQ(words_.add(kStats, "BAN", "f", "", 0), "!ban is a built-in command.");
  EXPECT_EQ(words_.add(kStats, "Seen", "onSeen", "NAME: last seen", 0), "");
  EXPECT_EQ(words_.add(kOther, "seen", "f", "", 0), "!seen is taken by another script.");
  EXPECT_EQ(words_.ownerOf("SEEN"), kStats);
  EXPECT_EQ(words_.ownerOf("warn"), std::nullopt);
  EXPECT_EQ(say(0, "!seen Bob"), Lines{"script 7 onSeen 3 [Bob]"});
  EXPECT_EQ(say(kModerator, "!seen Bob"), Lines{"builtin 3 1 seen [Bob]"});
  // The same script may give its word again: the new function and level hold.
  EXPECT_EQ(words_.add(kStats, "seen", "onSeen2", "", kAdmin), "");
  EXPECT_EQ(say(0, "!seen Bob"), Lines{"to 3: !seen: you may not"});
  EXPECT_EQ(words_.add(kOther, "vip", "onVip", "", kAdmin), "");
  EXPECT_EQ(say(kModerator, "!vip"), Lines{"to 3: !vip: you may not"});
  EXPECT_EQ(say(kAdmin, "!vip x"), Lines{"script 8 onVip 3 [x]"});
}

TEST_F(GameWordsTest, WordsAreCheckedAndCounted) {
  for (const std::string& bad : Lines{"", "a b", "!x", "é", std::string(33, 'x')}) {
    EXPECT_EQ(words_.add(kStats, bad, "f", "", 0), "A word is 1 to 32 letters, digits, '_' or '-'.")
        << bad;
  }
  EXPECT_EQ(words_.add(kStats, std::string(32, 'x'), "f", "", 0), "");
  for (size_t i = 1; i < GameWords::kMaxScriptWords; ++i) {
    ASSERT_EQ(words_.add(kStats, "w" + std::to_string(i), "f", "", 0), "");
  }
  EXPECT_EQ(words_.add(kStats, "one-more", "f", "", 0), "Too many commands.");
  words_.removeAll();
  EXPECT_EQ(words_.add(kStats, "one-more", "f", "", 0), "");
}

TEST_F(GameWordsTest, HelpGivesOneListForTheLevel) {
  // Nothing for a player: no answer, as before scripts had words.
  EXPECT_EQ(say(0, "!help"), Lines{});
  ASSERT_EQ(words_.add(kStats, "stats", "f", "your kills", 0), "");
  ASSERT_EQ(words_.add(kStats, "seen", "f", "NAME: last seen", 0), "");
  ASSERT_EQ(words_.add(kOther, "vip", "f", "", kAdmin), "");
  EXPECT_EQ(say(0, "!help"), Lines{"to 3: Commands: !stats !seen"});
  EXPECT_EQ(say(kModerator, "!HELP"), (Lines{"to 3: !help: this list", "to 3: !warn PLAYER REASON",
                                             "to 3: !seen NAME", "to 3: Commands: !stats"}));
  EXPECT_EQ(say(kAdmin, "!help")[4], "to 3: Commands: !stats !vip");
  EXPECT_EQ(say(0, "!help !stats"), Lines{"to 3: !stats: your kills"});
  EXPECT_EQ(say(0, "!help vip"), Lines{"to 3: Unknown command !vip; try !help"});
  EXPECT_EQ(say(kAdmin, "!help vip"), Lines{"to 3: !vip"});
  EXPECT_EQ(say(kModerator, "!help seen"), Lines{"to 3: !seen NAME"});
  // A script's "help" answers players; admins keep the list.
  ASSERT_EQ(words_.add(kOther, "help", "onHelp", "", 0), "");
  EXPECT_EQ(say(0, "!help x"), Lines{"script 8 onHelp 3 [x]"});
  EXPECT_EQ(say(kModerator, "!help").size(), 4u);
}

TEST_F(GameWordsTest, LongListsAreSplitBetweenWords) {
  GameWords words = makeWords({});
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(words.add(kStats, std::string(20, 'a') + std::to_string(i), "f", "", 0), "");
  }
  std::vector<std::string> lines = words.helpLines(0);
  ASSERT_GT(lines.size(), 1u);
  size_t listed = 0;
  for (const std::string& line : lines) {
    EXPECT_LE(line.size(), GameWords::kMaxReply);
    EXPECT_TRUE(line.starts_with("Commands: !"));
    listed += std::count(line.begin(), line.end(), '!');
  }
  EXPECT_EQ(listed, 100u);
  // Without built-in words "!help" is the registry's own.
  calls_.clear();
  words.said(4, 0, "!help");
  EXPECT_EQ(calls_.size(), lines.size());
}

TEST_F(GameWordsTest, RepliesAreCutOnACharacterBoundary) {
  ASSERT_EQ(words_.add(kStats, "x", "f", std::string(497, 'h') + "\xc3\xa9\xc3\xa9", 0), "");
  // "!x: " + 497 bytes leaves 0 bytes: both two-byte letters go whole.
  Lines said = say(0, "!help x");
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0], "to 3: !x: " + std::string(497, 'h'));
}

}  // namespace
}  // namespace gsadmin
