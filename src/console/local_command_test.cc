#include "console/local_command.h"

#include <gtest/gtest.h>

namespace gsadmin {
namespace {

TEST(LocalCommandTest, SplitsWordAndRestAfterOneSpace) {
  struct Case {
    const char* line;
    bool isCommand;
    const char* word;
    const char* rest;
  };
  const Case cases[] = {
      {"hello", false, "", ""},
      {"/msg #3 hi", false, "", ""},
      {"", false, "", ""},
      {" .kick 3", false, "", ""},  // only a leading dot makes a command
      {".help", true, "help", ""},
      {".kick 3", true, "kick", "3"},
      {".msg 3 hello there", true, "msg", "3 hello there"},
      {".msg  two spaces", true, "msg", " two spaces"},
      {".lua ", true, "lua", ""},
      {".", true, "", ""},
      {". x", true, "", "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::optional<LocalCommand> command = splitLocalCommand(c.line);
    ASSERT_EQ(command.has_value(), c.isCommand);
    if (!command) continue;
    EXPECT_EQ(command->word, c.word);
    EXPECT_EQ(command->rest, c.rest);
  }
}

std::string describe(const PlayerMatch& match) {
  switch (match.kind) {
    case PlayerMatch::Kind::kNone:
      return "none";
    case PlayerMatch::Kind::kOne:
      return (match.startOfName ? "start of " : "one ") + std::to_string(match.players.at(0).id);
    case PlayerMatch::Kind::kAmbiguous:
    case PlayerMatch::Kind::kIdAndName: {
      std::string text = match.kind == PlayerMatch::Kind::kAmbiguous ? "ambiguous" : "id and name";
      for (const PlayerEntry& p : match.players) text += " " + std::to_string(p.id);
      return text;
    }
  }
  return "?";
}

TEST(LocalCommandTest, MatchesPlayerByIdWholeNameOrUniquePrefix) {
  const std::vector<PlayerEntry> players = {{7, "Bobby"}, {3, "Bob"},  {12, "alice"}, {5, "Alfred"},
                                            {9, "42"},    {20, "Zed"}, {30, "5"},     {31, "123"},
                                            {40, "Ann"},  {41, "ANN"}};
  struct Case {
    const char* typed;
    const char* expected;
  };
  const Case cases[] = {
      {"3", "one 3"},
      {" 12 ", "one 12"},
      {"42", "one 9"},  // no id 42: a name made of digits still matches
      {"99", "none"},
      {"bob", "one 3"},  // a whole name wins over longer names it starts
      {"BOBB", "start of 7"},
      {"ali", "start of 12"},
      {"al", "ambiguous 5 12"},
      {"5", "id and name 5 30"},  // player 5, and player 30 named "5"
      {"12", "one 12"},           // an id wins over a name it only starts
      {"1", "start of 31"},
      {"ann", "ambiguous 40 41"},
      {"an", "ambiguous 40 41"},
      {"b", "ambiguous 3 7"},
      {"z", "start of 20"},
      {"x", "none"},
      {"", "none"},
      {"   ", "none"},
      {"99999999999999999999", "none"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(describe(matchPlayer(c.typed, players)), c.expected);
  }
}

}  // namespace
}  // namespace gsadmin
