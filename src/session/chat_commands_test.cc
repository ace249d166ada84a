// Scripts' in-game words in a session with the moderation on: each "!word"
// gets one answer, from its one owner, in public chat and private messages.

#include <gtest/gtest.h>

#include "protocol/outbound.h"
#include "support/session_harness.h"

namespace gsadmin::testing {
namespace {

const char kScript[] =
    "function stats(id, rest) print('stats ' .. id .. ' [' .. rest .. ']') end\n"
    "function chat(id, text) print('chat ' .. id .. ' ' .. text) end\n"
    "addEventHandler('onPlayerChat', 'chat')\n"
    "addChatCommand('a b', 'stats')\n"
    "addChatCommand('stats', {})\n"
    "addChatCommand('stats', 'stats', {})\n"
    "addChatCommand('stats', 'stats', '', 4)\n"
    "addChatCommand('stats', 'stats', '', 0.5)\n"
    "addChatCommand('warn', 'stats')\n"
    "print(addChatCommand('Stats', 'stats', 'your kills'))\n"
    "addChatCommand('seen', 'stats', 'NAME: last seen')\n"
    "addChatCommand('vip', 'stats', '', 2)\n"
    "addChatCommand('help', 'stats')\n";

Datagram message(int id, const std::string& text) {
  return buildChatFrame("/msg #" + std::to_string(id) + " " + text);
}

class ChatCommandsTest : public ::testing::Test {
 protected:
  ChatCommandsTest() {
    harness_.connect();
    harness_.addPlayer(1, "Alice");
    harness_.addPlayer(3, "Bob");
    harness_.session().handleTypedLine(".admin add Alice 1");
    harness_.sent();
    harness_.output();
  }

  // What `id` saying `text` printed after its chat line, and sent.
  std::pair<std::string, std::vector<Datagram>> say(uint8_t id, const std::string& text) {
    harness_.deliver(chatLine(id, 1, text));
    std::string output = harness_.output();
    return {output.substr(output.find('\n') + 1), harness_.sent()};
  }

  SessionHarness harness_{std::string(kScript)};
};

TEST_F(ChatCommandsTest, RefusalsAreOneLineEach) {
  SessionHarness harness{std::string(kScript)};
  std::string output = harness.output();
  EXPECT_EQ(output.substr(0, output.find("LUA: Script")),
            "addChatCommand: Invalid argument #1.\n"
            "addChatCommand: Invalid argument #2.\n"
            "addChatCommand: Invalid argument #3.\n"
            "addChatCommand: Invalid argument #4.\n"
            "addChatCommand: Invalid argument #4.\n"
            "addChatCommand: !warn is a built-in command.\n"
            "\n");
}

TEST_F(ChatCommandsTest, EveryWordGetsOneAnswer) {
  struct Case {
    uint8_t id;
    std::string text;
    std::string output;
    std::vector<Datagram> sent;
  };
  const Case cases[] = {
      {3, "!STATS me", "stats 3 [me]\nchat 3 !STATS me\n", {}},
      {3, "!foo", "chat 3 !foo\n", {message(3, "Unknown command !foo; try !help")}},
      {3, "!warn Alice x", "chat 3 !warn Alice x\n", {message(3, "!warn: you may not")}},
      {1, "!warn Bob", "chat 1 !warn Bob\n", {message(1, "!warn: a reason is needed")}},
      {3, "!seen Alice", "stats 3 [Alice]\nchat 3 !seen Alice\n", {}},
      {1, "!seen", "chat 1 !seen\n", {message(1, "!seen: a name is needed")}},
      {3, "!vip", "chat 3 !vip\n", {message(3, "!vip: you may not")}},
      // A script answers !help for the players, the registry for the admins.
      {3, "!help", "stats 3 []\nchat 3 !help\n", {}},
      // Private messages are answered the same way, once.
      {3, "/msg Alice !stats", "stats 3 []\n", {}},
      {3, "/msg Alice !bar", "", {message(3, "Unknown command !bar; try !help")}},
  };
  for (const Case& c : cases) {
    auto [output, sent] = say(c.id, c.text);
    EXPECT_EQ(output, c.output) << c.text;
    EXPECT_EQ(sent, c.sent) << c.text;
  }
  std::vector<Datagram> help = say(1, "!help").second;
  ASSERT_FALSE(help.empty());
  EXPECT_EQ(help.front(), message(1, "!help [WORD]"));
  EXPECT_EQ(help.back(), message(1, "Commands: !stats"));
}

TEST_F(ChatCommandsTest, AScriptsWordsGoWithIt) {
  harness_.session().handleTypedLine(".unload " + harness_.session().scripts().all()[0]->name);
  harness_.output();
  // No word of a script left: unknown words are left alone again.
  EXPECT_EQ(say(3, "!stats").second, std::vector<Datagram>{});
  EXPECT_EQ(say(3, "!foo").second, std::vector<Datagram>{});
  EXPECT_EQ(say(1, "!warn Bob").second,
            (std::vector<Datagram>{message(1, "!warn: a reason is needed")}));
}

}  // namespace
}  // namespace gsadmin::testing
