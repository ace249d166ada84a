// Loading script.lua and calling into it, through a real Lua state.

#include "script/script_manager.h"

#include <gtest/gtest.h>

#include "script/lua.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::SessionHarness;

// The line that reports the harness's script loaded.
std::string loaded(SessionHarness& harness) {
  return "LUA: Script '" + harness.scriptPath() + "' loaded.\n";
}

lua_State* stateOf(SessionHarness& harness) {
  return harness.session().scripts().all().at(0)->state.get();
}

TEST(ScriptHostTest, MissingScriptPrintsExactlyOneLine) {
  SessionHarness harness(std::nullopt);
  EXPECT_EQ(harness.output(), "LUA: Unable to load script '" + harness.scriptPath() + "'\n");
  EXPECT_TRUE(harness.session().scripts().empty());
  EXPECT_TRUE(harness.started());  // the client runs on without a script
}

TEST(ScriptHostTest, EmptyScriptLoads) {
  SessionHarness harness("");
  EXPECT_EQ(harness.output(), loaded(harness));
  EXPECT_EQ(harness.session().scripts().size(), 1u);
}

TEST(ScriptHostTest, SyntaxErrorIsUnableToLoad) {
  SessionHarness harness("function broken(\n");
  EXPECT_EQ(harness.output(), "LUA: Unable to load script '" + harness.scriptPath() + "'\n");
  EXPECT_TRUE(harness.session().scripts().empty());
}

TEST(ScriptHostTest, RuntimeErrorInMainChunkIsSilentAndItsHandlersAreNeverCalled) {
  SessionHarness harness(
      "addEventHandler('onStart', 'started')\n"
      "function started() print('started') end\n"
      "error('boom')\n");
  EXPECT_EQ(harness.output(), "");
  EXPECT_TRUE(harness.session().scripts().empty());
  // The handler stays registered but reaches no script.
  EXPECT_EQ(harness.session().events().size(), 1u);
  harness.session().events().fireEvent(Event::kStart);
  EXPECT_EQ(harness.output(), "");
}

TEST(ScriptHostTest, OnlyBaseTableStringMathAndTheClockOfOsAreOpen) {
  SessionHarness harness(
      "print(type(print), type(table.insert), type(string.format), type(math.floor))\n"
      "print(type(io), type(package), type(debug), require == nil)\n"
      "local kept = {}\n"
      "for name, value in pairs(os) do kept[#kept + 1] = name .. ':' .. type(value) end\n"
      "table.sort(kept)\n"
      "print(table.concat(kept, ' '))\n"
      "print(type(os.time()), os.difftime(10, 4), os.date('!%Y-%m-%d', 86400))\n"
      "print(type(os.clock()), os.date('!*t', 0).year)\n");
  EXPECT_EQ(harness.output(),
            "function\tfunction\tfunction\tfunction\n"
            "nil\tnil\tnil\tfalse\n"
            "clock:function date:function difftime:function time:function\n"
            "number\t6\t1970-01-02\n"
            "number\t1970\n" +
                loaded(harness));
}

TEST(ScriptHostTest, ApiIsPublishedBeforeTheMainChunkRuns) {
  SessionHarness harness(
      "local names = {'addEventHandler', 'removeEventHandler', 'gettok', 'sendChat',\n"
      "  'sendMessage', 'getAdminName', 'getAdminPassword', 'isConnected', 'getServerIP',\n"
      "  'getServerPort', 'getServerName', 'getServerMOTD', 'getServerGame',\n"
      "  'getServerGameMode', 'getServerMaxPlayers', 'getPlayerName', 'getPlayerKills',\n"
      "  'getPlayerDeaths', 'getPlayerHealth', 'getPlayerStatus', 'getPlayerVehicle',\n"
      "  'getPlayerPosition', 'slapPlayer', 'kickPlayer', 'banPlayer', 'getVehicleName',\n"
      "  'getVehicleHealth', 'getVehiclePosition', 'getVehicleSpawnpoint', 'getVehicleDriver',\n"
      "  'getVehicleIsPassenger', 'getWeaponName', 'dbExec', 'dbQuery', 'setTimer',\n"
      "  'killTimer', 'getTickCount', 'getPlayers', 'getPlayerCount'}\n"
      "local n = 0\n"
      "for _, name in ipairs(names) do if type(_G[name]) == 'function' then n = n + 1 end end\n"
      "print(n)\n");
  EXPECT_EQ(harness.output(), "39\n" + loaded(harness));
}

TEST(ScriptHostTest, MainChunkResultsAndFailedCallsLeaveTheStackBalanced) {
  SessionHarness harness(
      "addEventHandler('onPlayerJoin', 'fails')\n"
      "addEventHandler('onPlayerJoin', 'undefinedFunction')\n"
      "function fails() error({}) end\n"
      "return 1, 2, 3\n");
  EXPECT_EQ(lua_gettop(stateOf(harness)), 0);
  for (int i = 0; i < 1000; ++i) harness.session().events().fireEvent(Event::kPlayerJoin, i);
  EXPECT_EQ(lua_gettop(stateOf(harness)), 0);
}

TEST(ScriptHostTest, FailingHandlerIsReportedAndTheNextStillRuns) {
  SessionHarness harness(
      "addEventHandler('onStart', 'bad')\n"
      "addEventHandler('onStart', 'good')\n"
      "function bad() error('oops') end\n"
      "function good() print('good ran') end\n");
  EXPECT_EQ(harness.output(), loaded(harness) +
                                  "LUA: Error in function 'bad'\n"
                                  "good ran\n");
}

TEST(ScriptHostTest, UndefinedHandlerFunctionIsAnErrorAtEveryFiring) {
  SessionHarness harness("addEventHandler('onConnect', 'nowhere')\n");
  harness.output();
  harness.session().events().fireEvent(Event::kConnect);
  harness.session().events().fireEvent(Event::kConnect);
  EXPECT_EQ(harness.output(),
            "LUA: Error in function 'nowhere'\nLUA: Error in function 'nowhere'\n");
}

TEST(ScriptHostTest, FailingGlobalLookupIsAFailedCallNotACrash) {
  SessionHarness harness(
      "addEventHandler('onPlayerVehicleEnter', 'missing')\n"
      "setmetatable(_G, {__index = function(t, k) error('no global ' .. k) end})\n");
  harness.output();
  harness.session().events().fireEvent(Event::kPlayerVehicleEnter, 1, 2);
  EXPECT_EQ(harness.output(), "LUA: Error in function 'missing'\n");
  EXPECT_EQ(lua_gettop(stateOf(harness)), 0);
}

TEST(ScriptHostTest, ScriptMayReplaceAnApiFunction) {
  SessionHarness harness(
      "function getPlayerName(id) return 'custom ' .. id end\n"
      "print(getPlayerName(3))\n");
  EXPECT_EQ(harness.output(), "custom 3\n" + loaded(harness));
}

TEST(ScriptHostTest, GlobalsPersistBetweenCalls) {
  SessionHarness harness(
      "count = 0\n"
      "addEventHandler('onConnect', 'onTick')\n"
      "function onTick() count = count + 1 print(count) end\n");
  harness.output();
  harness.session().events().fireEvent(Event::kConnect);
  harness.session().events().fireEvent(Event::kConnect);
  EXPECT_EQ(harness.output(), "1\n2\n");
}

TEST(ScriptHostTest, HandlersAreLookedUpByNameAtEveryCallHoweverManyNamesThereAre) {
  // More names than the host keeps slots for, each called twice; the
  // functions are redefined between the calls, and one name is removed.
  std::string script = "function define(tag)\n  for i = 1, 20 do\n";
  script += "    _G['h' .. i] = function() print(tag .. i) end\n  end\nend\ndefine('a')\n";
  for (int i = 1; i <= 20; ++i) {
    script += "addEventHandler('onConnect', 'h" + std::to_string(i) + "')\n";
  }
  SessionHarness harness(script);
  harness.output();
  harness.session().events().fireEvent(Event::kConnect);
  std::string first, second;
  for (int i = 1; i <= 20; ++i) first += "a" + std::to_string(i) + "\n";
  EXPECT_EQ(harness.output(), first);

  harness.session().scripts().fetchFunction("define");
  harness.session().scripts().pushString("b");
  harness.session().scripts().callFunction(1);
  harness.session().scripts().fetchFunction("clear");
  harness.session().scripts().callFunction(0);  // undefined: an error line
  lua_State* L = stateOf(harness);
  lua_pushnil(L);
  lua_setglobal(L, "h3");
  harness.output();
  harness.session().events().fireEvent(Event::kConnect);
  for (int i = 1; i <= 20; ++i) {
    second += i == 3 ? "LUA: Error in function 'h3'\n" : "b" + std::to_string(i) + "\n";
  }
  EXPECT_EQ(harness.output(), second);
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST(ScriptHostTest, AHandlerTheGlobalsMetatableGivesRunsAtEveryCall) {
  SessionHarness harness(
      "setmetatable(_G, {__index = function(t, k)\n"
      "  if k == 'lent' then return function(id) print('lent ' .. id) end end\n"
      "end})\n"
      "addEventHandler('onPlayerJoin', 'lent')\n");
  harness.output();
  for (int id = 1; id <= 3; ++id) harness.session().events().fireEvent(Event::kPlayerJoin, id);
  EXPECT_EQ(harness.output(), "lent 1\nlent 2\nlent 3\n");
  EXPECT_EQ(lua_gettop(stateOf(harness)), 0);
}

}  // namespace
}  // namespace gsadmin
