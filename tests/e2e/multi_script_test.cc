// Several scripts side by side through the real binary: each in its own
// state, in load order, with its own failures, commands and lifetime.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "sim/server_messages.h"
#include "support/admin_login.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"

namespace gsadmin::testing {
namespace {

// Reads the banner and the blank line after it.
void skipBanner(ClientProcess& client) {
  EXPECT_EQ(client.nextLine().value_or("").rfind("gsadmin ", 0), 0u);
  EXPECT_EQ(client.nextLine(), "");
}

std::vector<std::string> serverArgs(const LoopbackPeer& peer, std::vector<std::string> options) {
  options.insert(options.end(), {"127.0.0.1", std::to_string(peer.port()), "Admin", "pw"});
  return options;
}

TEST(MultiScriptTest, AFailingALoopingAndAHungryScriptLeaveAHealthyOneAlone) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() + "/bots");
  dir.write("bots/a_fails.lua", "error('broken main chunk')\n");
  dir.write("bots/b_loop.lua",
            "addEventHandler('onPlayerChat', 'spin')\n"
            "function spin() while true do end end\n");
  dir.write("bots/c_hungry.lua",
            "addEventHandler('onPlayerChat', 'eat')\n"
            "function eat() local t = {} for i = 1, 1e9 do t[i] = string.rep('x', 65536) .. i end "
            "end\n");
  dir.write("bots/d_healthy.lua",
            "addEventHandler('onPlayerChat', 'heard')\n"
            "function heard(id, text) print('healthy heard ' .. text) end\n");
  dir.write("bots/notes.txt", "not a script\n");
  LoopbackPeer peer;
  ClientProcess client(
      serverArgs(peer, {"--no-input", "--script=bots", "--script-budget=200", "--script-memory=4"}),
      std::nullopt, ClientProcess::defaultBinary(), std::nullopt, dir.path());
  skipBanner(client);
  EXPECT_EQ(client.nextLine(), "LUA: Script 'b_loop.lua' loaded.");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'c_hungry.lua' loaded.");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'd_healthy.lua' loaded.");
  ASSERT_TRUE(acceptLogin(peer, {{3, "Bob"}}));
  for (const char* text : {"first", "second"}) {
    peer.send(chatLine(3, 0, text));
    ASSERT_TRUE(client.waitForLine("LUA: Error in function 'spin'"));
    EXPECT_EQ(client.nextLine(), "LUA: Error in function 'eat'");
    EXPECT_EQ(client.nextLine(), std::string("healthy heard ") + text);
  }
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(5000), 0);
  std::string errors = client.errorOutput();
  EXPECT_NE(errors.find("a_fails.lua: bots/a_fails.lua:1: broken main chunk"), std::string::npos);
  EXPECT_NE(errors.find("b_loop.lua: bots/b_loop.lua:2: ran longer than its budget of 200 ms"),
            std::string::npos)
      << errors;
  EXPECT_NE(errors.find("c_hungry.lua: not enough memory"), std::string::npos) << errors;
}

TEST(MultiScriptTest, OneScriptsDefaultStaysAsItWas) {
  TempDir dir;
  dir.write("script.lua", "print(getPlayerName(1))\n");
  LoopbackPeer peer;
  ClientProcess client(serverArgs(peer, {"--no-input"}), std::nullopt,
                       ClientProcess::defaultBinary(), std::nullopt, dir.path());
  skipBanner(client);
  EXPECT_EQ(client.nextLine(), "getPlayerName: No such player.");
  EXPECT_EQ(client.nextLine(), "");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'script.lua' loaded.");
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(5000), 0);
}

const char kOne[] = R"lua(
x = 1
addConsoleCommand('greet', 'greet', 'says hello')
addConsoleCommand('kick', 'greet', 'not mine')
function greet(rest) print('one greets ' .. rest) end
addEventHandler('onScriptStop', 'bye')
function bye() print('one: stop') end
)lua";

const char kTwo[] = R"lua(
x = 2
addConsoleCommand('greet', 'greet', '')
addEventHandler('onStart', 'hello')
addEventHandler('onScriptStop', 'bye')
function hello() print('two: start') end
function bye() print('two: stop') end
)lua";

TEST(MultiScriptTest, TheConsoleReachesReloadsUnloadsAndLoadsEachScript) {
  TempDir dir;
  dir.write("one.lua", kOne);
  dir.write("two.lua", kTwo);
  LoopbackPeer peer;
  ClientProcess client(serverArgs(peer, {"--exit-on-eof", "--script=one.lua", "--script=two.lua"}),
                       std::nullopt, ClientProcess::defaultBinary(), std::nullopt, dir.path(),
                       ClientProcess::Input::kPipe);
  skipBanner(client);
  EXPECT_EQ(client.nextLine(), "addConsoleCommand: .kick is a built-in command.");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'one.lua' loaded.");
  EXPECT_EQ(client.nextLine(), "addConsoleCommand: .greet is taken by script 'one.lua'.");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'two.lua' loaded.");
  EXPECT_EQ(client.nextLine(), "two: start");
  client.writeInput(
      ".greet the world\n.lua return x\n.lua @two.lua return x\n.lua @nope x\n.help\n.scripts\n"
      ".reload two.lua\n.unload one.lua\n.greet again\n.scripts\n.load one.lua\n.greet back\n");
  ASSERT_TRUE(acceptLogin(peer, {}));
  ASSERT_TRUE(client.waitForLine("one greets the world"));
  EXPECT_EQ(client.nextLine(), "* 1");
  EXPECT_EQ(client.nextLine(), "* 2");
  EXPECT_EQ(client.nextLine(), "* no script named 'nope' is loaded; .help lists the commands");
  EXPECT_TRUE(client.waitForLine("* Commands of script 'one.lua':"));
  EXPECT_EQ(client.nextLine(), "* .greet             says hello");
  std::optional<std::string> one = client.waitForLine("* 'one.lua' ");
  ASSERT_TRUE(one);
  const std::regex listed(R"(\* '(one|two)\.lua' loaded, [12] handlers?, 0 timers, \d+ KiB)");
  EXPECT_TRUE(std::regex_match(*one, listed)) << *one;
  std::optional<std::string> two = client.nextLine();
  ASSERT_TRUE(two);
  EXPECT_TRUE(std::regex_match(*two, listed)) << *two;

  EXPECT_EQ(client.nextLine(), "two: stop");
  EXPECT_EQ(client.nextLine(), "addConsoleCommand: .greet is taken by script 'one.lua'.");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'two.lua' loaded.");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'two.lua' reloaded.");
  EXPECT_EQ(client.nextLine(), "two: start");
  EXPECT_EQ(client.nextLine(), "* reloaded 'two.lua'");
  EXPECT_EQ(client.nextLine(), "one: stop");
  EXPECT_EQ(client.nextLine(), "* unloaded 'one.lua'");
  EXPECT_EQ(client.nextLine(), "* unknown command '.greet'; .help lists the commands");
  EXPECT_EQ(client.nextLine(), "* 'one.lua' stopped, 0 handlers, 0 timers, 0 KiB");
  std::optional<std::string> after = client.nextLine();
  ASSERT_TRUE(after);
  EXPECT_TRUE(std::regex_match(*after, listed)) << *after;
  EXPECT_EQ(client.nextLine(), "addConsoleCommand: .kick is a built-in command.");
  EXPECT_EQ(client.nextLine(), "LUA: Script 'one.lua' loaded.");
  EXPECT_EQ(client.nextLine(), "* loaded 1 script from 'one.lua'");
  EXPECT_EQ(client.nextLine(), "one greets back");
  client.closeInput();
  EXPECT_EQ(client.waitExit(5000), 0);
  client.readToEnd();
  EXPECT_NE(client.output().find("one: stop\ntwo: stop\n"), std::string::npos) << client.output();
}

}  // namespace
}  // namespace gsadmin::testing
