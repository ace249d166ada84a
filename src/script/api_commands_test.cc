// The admin commands, called from Lua: the exact datagrams the client sends,
// and the console lines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/wire.h"
#include "script/api_test_script.h"
#include "sim/server_messages.h"

namespace gsadmin {
namespace {

using testing::ApiScript;
using testing::Datagram;
using testing::hexDump;
using testing::SessionHarness;

// The line that reports the harness's script loaded.
std::string loaded(SessionHarness& harness) {
  return "LUA: Script '" + harness.scriptPath() + "' loaded.\n";
}

Datagram chatFrame(const std::string& text) {
  Datagram datagram = {0x03, 0x03};
  for (char c : text) datagram.push_back(static_cast<uint8_t>(c));
  datagram.push_back(0x00);
  return datagram;
}

// A started, not yet logged-in session with players 5 (Bob) and 7 (Ann).
class ApiCommandsTest : public ::testing::Test {
 protected:
  ApiCommandsTest() {
    s.session().players().add(5, "Bob");
    s.session().players().add(7, "Ann");
  }

  // Runs `chunk`, expects it to print `console`, and returns every datagram
  // the server received.
  std::vector<Datagram> sentBy(const std::string& chunk, const std::string& console = "") {
    EXPECT_EQ(s.run(chunk), console) << chunk;
    return s.harness().sent();
  }

  // sentBy() with no session current.
  std::vector<Datagram> sentByWithoutSession(const std::string& chunk,
                                             const std::string& console = "") {
    EXPECT_EQ(s.runWithoutSession(chunk), console) << chunk;
    return s.harness().sent();
  }

  // Runs `chunk`, expects exactly `expected` to arrive and nothing printed.
  void expectSent(const std::string& chunk, const Datagram& expected) {
    EXPECT_EQ(s.run(chunk), "") << chunk;
    std::vector<Datagram> sent = s.harness().sent();
    ASSERT_EQ(sent.size(), 1u) << chunk;
    EXPECT_EQ(sent[0], expected) << chunk << "\n" << hexDump(sent[0]);
  }

  ApiScript s;
};

TEST_F(ApiCommandsTest, SendChatSendsTheTextByteForByte) {
  ASSERT_FALSE(s.session().connected());  // commands do not wait for the login
  expectSent("sendChat('hello there')", chatFrame("hello there"));
  expectSent("sendChat('100%s %d %n done')", chatFrame("100%s %d %n done"));
  expectSent("sendChat(42)", chatFrame("42"));
  expectSent("sendChat(4.5)", chatFrame("4.5"));
  expectSent("sendChat('')", chatFrame(""));
  expectSent("sendChat('first', 'ignored')", chatFrame("first"));
  expectSent("sendChat('\\1\\255 x')", chatFrame("\x01\xff x"));
  // The frame carries a NUL-terminated text, which ends at the first NUL.
  expectSent("sendChat('a\\0b')", chatFrame("a"));
  expectSent("sendChat(string.rep('a', 600))", chatFrame(std::string(wire::kMaxChatText, 'a')));
}

TEST_F(ApiCommandsTest, SendChatWithoutATextSendsNothing) {
  EXPECT_TRUE(sentBy("sendChat()").empty());
  for (const char* argument : {"nil", "true", "{}", "print"}) {
    EXPECT_TRUE(
        sentBy("sendChat(" + std::string(argument) + ")", "sendChat: Invalid Argument #1.\n")
            .empty())
        << argument;
  }
}

TEST_F(ApiCommandsTest, SendMessageAddressesThePlayerById) {
  expectSent("sendMessage(7, 'hello')", chatFrame("/msg #7 hello"));
  expectSent("sendMessage(263, 'hello')", chatFrame("/msg #7 hello"));
  expectSent("sendMessage('7.9', 12)", chatFrame("/msg #7 12"));
  expectSent("sendMessage(5, '%s%s')", chatFrame("/msg #5 %s%s"));
  // Cut after formatting.
  expectSent("sendMessage(7, string.rep('b', 600))",
             chatFrame("/msg #7 " + std::string(wire::kMaxChatText - 8, 'b')));
}

TEST_F(ApiCommandsTest, SendMessageChecksInOrderAndSendsNothingOnRefusal) {
  EXPECT_TRUE(sentBy("sendMessage('abc', 'hi')", "sendMessage: Invalid Argument #1.\n").empty());
  EXPECT_TRUE(sentBy("sendMessage()", "sendMessage: Invalid Argument #1.\n").empty());
  // The text is checked before the player is looked up.
  EXPECT_TRUE(sentBy("sendMessage(9)", "sendMessage: Invalid Argument #2.\n").empty());
  EXPECT_TRUE(sentBy("sendMessage(7)", "sendMessage: Invalid Argument #2.\n").empty());
  EXPECT_TRUE(sentBy("sendMessage(7, {})", "sendMessage: Invalid Argument #2.\n").empty());
  EXPECT_TRUE(sentBy("sendMessage(9, 'hi')", "sendMessage: No such player.\n").empty());
  EXPECT_TRUE(sentBy("sendMessage(0/0, 'hi')", "sendMessage: No such player.\n").empty());
}

TEST_F(ApiCommandsTest, SlapKickAndBanNameAKnownPlayer) {
  expectSent("slapPlayer(5)", chatFrame("/slap Bob"));
  expectSent("kickPlayer(5)", Datagram{0x0E, 0x05, 0x00});
  expectSent("banPlayer(261)", Datagram{0x0F, 0x05, 0x00});
  expectSent("kickPlayer('7')", Datagram{0x0E, 0x07, 0x00});
  // A name is sent as it is, never read as a format.
  s.session().players().add(9, "%s%n");
  expectSent("slapPlayer(9)", chatFrame("/slap %s%n"));
  // Kicked and banned players stay until the server says they left.
  EXPECT_NE(s.session().players().find(5), nullptr);
}

TEST_F(ApiCommandsTest, SlapKickAndBanRefuseInOrder) {
  for (std::string f : {"slapPlayer", "kickPlayer", "banPlayer"}) {
    EXPECT_TRUE(sentBy(f + "()", f + ": Invalid Argument #1.\n").empty());
    EXPECT_TRUE(sentBy(f + "('Bob')", f + ": Invalid Argument #1.\n").empty());
    EXPECT_TRUE(sentBy(f + "(6)", f + ": No such player.\n").empty());
    EXPECT_TRUE(sentBy(f + "(2147483653)", f + ": No such player.\n").empty());
  }
  for (std::string f : {"sendMessage", "slapPlayer", "kickPlayer", "banPlayer"}) {
    EXPECT_TRUE(sentByWithoutSession(f + "(5, 'x')", f + ": PlayerManager missing.\n").empty());
  }
  EXPECT_TRUE(sentByWithoutSession("sendChat('x')").empty());
}

TEST_F(ApiCommandsTest, CommandsReturnNoValue) {
  EXPECT_EQ(s.run("print(select('#', sendChat('a')), select('#', sendMessage(5, 'b')),"
                  " select('#', slapPlayer(5)), select('#', kickPlayer(5)),"
                  " select('#', banPlayer(5)), select('#', kickPlayer(6)))\n"),
            "kickPlayer: No such player.\n0\t0\t0\t0\t0\t0\n");
  EXPECT_EQ(s.harness().sent().size(), 5u);
}

TEST_F(ApiCommandsTest, CommandsAfterTheLoginGoOutTheSameWay) {
  s.harness().login();
  s.harness().output();  // the connecting line
  expectSent("sendChat('logged in')", chatFrame("logged in"));
  expectSent("kickPlayer(7)", Datagram{0x0E, 0x07, 0x00});
}

TEST(ApiCommandsBeforeStartTest, WithoutASocketNothingLeaves) {
  // The main chunk runs before the socket exists.
  SessionHarness harness("sendChat('early')\nkickPlayer(1)\n");
  EXPECT_EQ(harness.output(), "kickPlayer: No such player.\n" + loaded(harness));
  EXPECT_TRUE(harness.sent().empty());
}

}  // namespace
}  // namespace gsadmin
