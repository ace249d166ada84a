// The session getters, the server getters and gettok, called from Lua.

#include <gtest/gtest.h>
#include <malloc.h>

#include <string>

#include "script/api_test_script.h"
#include "script/script_manager.h"
#include "support/client_process.h"
#include "support/manual_clock.h"
#include "support/stdout_capture.h"

namespace gsadmin {
namespace {

using testing::ApiScript;
using testing::BareApiState;

TEST(ApiGettokTest, SplitsLikeTheCLibraryTokenizer) {
  ApiScript s;
  EXPECT_EQ(s.run("show(gettok('a b c', 0, ' '))\n"
                  "show(gettok('a b c', 2, ' '))\n"
                  "show(gettok('a b c', 3, ' '))\n"
                  "show(gettok('a b c', 2.9, ' '))\n"
                  "show(gettok('a b c', -1, ' '))\n"
                  "show(gettok('a b c', 3.5, ' '))\n"
                  "show(gettok('a b c', '1', ' '))\n"),
            "a\nc\nnil\nc\nnil\nnil\nb\n");
  // Leading, trailing and repeated separators make no empty tokens; every
  // character of the set separates.
  EXPECT_EQ(s.run("show(gettok(',a,,b,', 0, ','))\n"
                  "show(gettok(',a,,b,', 1, ','))\n"
                  "show(gettok(',a,,b,', 2, ','))\n"
                  "show(gettok('a;b c', 2, '; '))\n"),
            "a\nb\nnil\nc\n");
  // No token at all: one empty entry, so nil for index 0.
  EXPECT_EQ(s.run("show(gettok('', 0, ','))\n"
                  "show(gettok(',,,', 0, ','))\n"),
            "nil\nnil\n");
  // An empty separator set makes the whole text one token.
  EXPECT_EQ(s.run("show(gettok('abc', 0, ''))\n"
                  "show(gettok('abc', 1, ''))\n"),
            "abc\nnil\n");
  // A number's string form is split.
  EXPECT_EQ(s.run("show(gettok(357, 1, '5'))\n"), "7\n");
  // -0.5 is below 0; NaN and infinities select nothing.
  EXPECT_EQ(s.run("show(gettok('a b', -0.5, ' '))\n"
                  "show(gettok('a b', 0/0, ' '))\n"
                  "show(gettok('a b', math.huge, ' '))\n"
                  "show(gettok('a b', -math.huge, ' '))\n"),
            "nil\nnil\nnil\nnil\n");
  // Arguments after the third are ignored.
  EXPECT_EQ(s.run("show(gettok('a b', 1, ' ', 'extra', {}))\n"), "b\n");
}

TEST(ApiGettokTest, ArgumentChecksInOrder) {
  ApiScript s;
  // No value in every case (show prints an empty line); one argument is
  // silent.
  EXPECT_EQ(s.run("show(gettok())\nshow(gettok('a b'))\n"), "\n\n");
  EXPECT_EQ(s.run("show(gettok('a b', 0))\n"), "gettok: Invalid argument #3.\n\n");
  EXPECT_EQ(s.run("show(gettok({}, 'x', {}))\n"), "gettok: Invalid argument #1.\n\n");
  EXPECT_EQ(s.run("show(gettok(nil, 0, ' '))\n"), "gettok: Invalid argument #1.\n\n");
  EXPECT_EQ(s.run("show(gettok('a b', 'x', {}))\n"), "gettok: Invalid argument #2.\n\n");
  EXPECT_EQ(s.run("show(gettok('a b', nil, ' '))\n"), "gettok: Invalid argument #2.\n\n");
  EXPECT_EQ(s.run("show(gettok('a b', 0, true))\n"), "gettok: Invalid argument #3.\n\n");
}

TEST(ApiGettokTest, HasNoLengthOrTokenLimit) {
  ApiScript s;
  EXPECT_EQ(s.run("local text = string.rep('x', 4998) .. ' yz'\n"
                  "print(#text, #gettok(text, 0, ' '), gettok(text, 1, ' '))\n"),
            "5001\t4998\tyz\n");
  EXPECT_EQ(s.run("local t = {}\n"
                  "for i = 1, 100 do t[i] = 't' .. i end\n"
                  "local text = table.concat(t, ' ')\n"
                  "show(gettok(text, 62, ' '), gettok(text, 63, ' '), gettok(text, 64, ' '))\n"
                  "show(gettok(text, 99, ' '), gettok(text, 100, ' '))\n"),
            "t63,t64,t65\nt100,nil\n");
}

TEST(ApiGettokTest, TextAndSeparatorsEndAtTheirFirstNulByte) {
  ApiScript s;
  EXPECT_EQ(s.run("show(gettok('a\\0b c', 0, ' '))\n"
                  "show(gettok('a\\0b c', 1, ' '))\n"
                  "show(gettok('a,b', 0, '\\0,'))\n"
                  "show(gettok('\\0a', 0, ' '))\n"),
            "a\nnil\na,b\nnil\n");
}

// Pushing gettok's token past the memory ceiling raises out of the C
// function, each time: nothing the function made may be left behind.
TEST(ApiGettokTest, ATokenThatDoesNotFitLeaksNothing) {
  testing::TempDir dir;
  dir.write("script.lua",
            "text = 'b' .. string.rep('a', 1000000)\n"
            "collectgarbage()\n"
            "collectgarbage()\n"
            "pad = {}\n"  // fills the state to within 600 KB of its ceiling
            "while collectgarbage('count') < 8 * 1024 - 600 do\n"
            "  pad[#pad + 1] = string.rep('c', 1000) .. #pad\n"
            "end\n"
            "function split(n)\n"
            "  local failed = 0\n"
            "  for i = 1, n do\n"
            "    if not pcall(gettok, text, 0, 'b') then failed = failed + 1 end\n"
            "  end\n"
            "  print('failed ' .. failed)\n"
            "end\n");
  testing::StdoutCapture capture;
  ScriptManager scripts(standardConsole());
  ScriptLimits limits;
  limits.memoryBytes = 8 * 1024 * 1024;
  scripts.setLimits(limits);
  ASSERT_NE(scripts.loadScripts(dir.path() + "/script.lua"), nullptr);
  size_t before = mallinfo2().uordblks;
  scripts.fetchFunction("split");
  scripts.pushInteger(40);
  scripts.callFunction(1);
  size_t after = mallinfo2().uordblks;
  EXPECT_NE(capture.take().find("failed 40\n"), std::string::npos);
  // Each leak would be the megabyte of the text's copy.
  EXPECT_LT(after, before + 8 * 1024 * 1024);
}

TEST(ApiSessionGettersTest, BeforeAnyConnection) {
  ApiScript s;
  std::string port = std::to_string(s.session().settings().serverPort);
  EXPECT_EQ(s.run("show(getAdminName(), getAdminPassword(), getServerIP(), isConnected())\n"
                  "show(type(getServerPort()), getServerPort())\n"),
            "Admin,73519,127.0.0.1,false\nnumber," + port + "\n");
  EXPECT_EQ(s.run("show(getServerName(), getServerMOTD(), getServerGame(), getServerGameMode(),"
                  " getServerMaxPlayers())\n"),
            "nil,nil,0,0,0\n");
}

TEST(ApiSessionGettersTest, ConnectedFromTheLoginOnAndServerRecordAsStored) {
  ApiScript s;
  s.harness().login();
  s.harness().output();  // the connecting line
  EXPECT_EQ(s.run("show(isConnected())\n"), "true\n");

  // What a connection-accepted message stores.
  ServerInfo& info = s.session().serverInfo();
  info.setName("Night Server");
  info.setMotd("");
  info.gameCode = 2;
  info.gameMode = 1;
  info.maxPlayers = 65535;
  EXPECT_EQ(s.run("show(getServerName(), getServerMOTD(), getServerGame(), getServerGameMode(),"
                  " getServerMaxPlayers())\n"
                  "show(getServerMOTD() == '')\n"),
            "Night Server,,2,1,65535\ntrue\n");

  s.session().setConnected(false);
  EXPECT_EQ(s.run("show(isConnected())\n"), "false\n");
}

TEST(ApiSessionGettersTest, ReadTheSettingsAsTyped) {
  ManualClock clock;
  SessionSettings settings;
  settings.serverIP = std::string("localhost");
  settings.serverPort = 4100;  // never started: nothing is sent anywhere
  settings.adminName = "";
  AdminSession session(settings, clock);
  {
    BareApiState lua(&session);
    EXPECT_EQ(lua.run("show(getServerIP(), getServerPort(), getAdminName(), getAdminPassword())\n"),
              "localhost,4100,,73519\n");
  }
}

TEST(ApiSessionGettersTest, WithoutASessionNothingFails) {
  BareApiState lua;
  EXPECT_EQ(lua.run("show(getAdminName(), getAdminPassword(), getServerIP(), isConnected(),"
                    " getServerPort())\n"),
            "nil,nil,nil,false,0\n");
  EXPECT_EQ(lua.run("show(getServerName())\nshow(getServerMOTD())\nshow(getServerGame())\n"
                    "show(getServerGameMode())\nshow(getServerMaxPlayers())\n"),
            "getServerName: No data.\n\n"
            "getServerMOTD: No data.\n\n"
            "getServerGame: No data.\n\n"
            "getServerGameMode: No data.\n\n"
            "getServerMaxPlayers: No data.\n\n");
}

}  // namespace
}  // namespace gsadmin
