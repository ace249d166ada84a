// getSetting, require and callScript, through real scripts of a session:
// the harness's script.lua ("script") and others loaded beside it.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "script/api_test_script.h"
#include "script/lua.h"
#include "script/script_manager.h"

namespace gsadmin {
namespace {

using testing::kShowFunction;
using testing::SessionHarness;

std::string directoryOf(const std::string& path) {
  return path.substr(0, path.rfind('/') + 1);
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// A session whose script.lua defines show(), with more scripts loaded from
// its directory on demand.
class SharingTest : public ::testing::Test {
 protected:
  SharingTest() : harness_(std::string(kShowFunction) + "function echo(...) return ... end\n") {
    harness_.output();
  }

  const std::string dir() { return directoryOf(harness_.scriptPath()); }
  ScriptManager& scripts() { return harness_.session().scripts(); }

  // Loads the script NAME.lua of the harness's directory under the name NAME.
  Script* load(const std::string& name, const std::string& code) {
    writeFile(dir() + name + ".lua", std::string(kShowFunction) + withNames(code));
    return scripts().load(ScriptSource{dir() + name + ".lua", name});
  }

  // `code` with 'script' standing for the harness's script, whose name is
  // its path.
  std::string withNames(std::string code) {
    const std::string self = "'" + scripts().all().at(0)->name + "'";
    for (size_t at = code.find("'script'"); at != std::string::npos;
         at = code.find("'script'", at + self.size())) {
      code.replace(at, 8, self);
    }
    return code;
  }

  // Runs `chunk` in `script` as a handler runs (inside its call), and
  // returns what it printed.
  std::string run(const std::string& chunk, size_t script = 0) {
    Script& target = *scripts().all().at(script);
    lua_State* L = target.state.get();
    target.limiter->beginCall();
    if (luaL_dostring(L, withNames(chunk).c_str()) != 0) {
      harness_.session().console().line(std::string("LUA ERROR: ") + lua_tostring(L, -1));
    }
    target.limiter->endCall();
    lua_settop(L, 0);
    return harness_.output();
  }

  SessionHarness harness_;
};

TEST_F(SharingTest, GetSettingReadsTheFileBesideTheScriptWhenItLoads) {
  EXPECT_EQ(run("show(getSetting('name'), getSetting('name', 'dflt'), getSetting('n', 3))"),
            "nil,dflt,3\n");
  writeFile(dir() + "stats.conf", "# stats\nname = Ann\nlimit = 25\nbad line\n");
  load("stats", "show(getSetting('name'), getSetting('limit') + 1, getSetting('x', false))\n");
  EXPECT_EQ(harness_.output(), "Ann,26,false\nLUA: Script 'stats' loaded.\n");
  EXPECT_EQ(harness_.errors(), dir() + "stats.conf:4: expected key = value\n");
  EXPECT_EQ(run("show(getSetting())", 1), "getSetting: Invalid argument #1.\n\n");
  EXPECT_EQ(run("show(getSetting({}, 1))", 1), "getSetting: Invalid argument #1.\n\n");

  // A script loaded again reads the file again.
  writeFile(dir() + "stats.conf", "name = Bob\n");
  writeFile(dir() + "stats.lua", kShowFunction);
  Script& stats = *scripts().find("stats");
  scripts().stop(stats);
  ASSERT_NE(scripts().reload(stats), nullptr);
  harness_.output();
  EXPECT_EQ(run("show(getSetting('name'), getSetting('limit'))", 1), "Bob,nil\n");
}

TEST_F(SharingTest, RequireLoadsEachModuleOnceFromTheScriptsLibDirectory) {
  ASSERT_EQ(mkdir((dir() + "lib").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((dir() + "lib/a").c_str(), 0700), 0);
  writeFile(dir() + "lib/x.lua", "loads = (loads or 0) + 1\nreturn {value = 42}\n");
  writeFile(dir() + "lib/a/b.lua", "b_loaded = true\n");
  writeFile(dir() + "lib/name.lua", "return (...)\n");
  EXPECT_EQ(run("local x, y = require('x'), require('x')\n"
                "show(x == y, x.value, loads, require('a.b'), b_loaded, require('name'))"),
            "true,42,1,true,true,name\n");
}

TEST_F(SharingTest, RequireRefusesBadNamesAndModulesThatDoNotLoad) {
  ASSERT_EQ(mkdir((dir() + "lib").c_str(), 0700), 0);
  writeFile(dir() + "x.lua", "return 1\n");
  writeFile(dir() + "lib/syntax.lua", "return (\n");
  writeFile(dir() + "lib/boom.lua", "tries = (tries or 0) + 1\nerror('boom')\n");
  writeFile(dir() + "lib/loop.lua", "return require('loop')\n");
  ASSERT_EQ(symlink((dir() + "x.lua").c_str(), (dir() + "lib/link.lua").c_str()), 0);
  ASSERT_EQ(mkfifo((dir() + "lib/fifo.lua").c_str(), 0600), 0);
  for (const char* name : {"''", "'.x'", "'x.'", "'a..b'", "'/x'", "'../x'", "'x/y'", "'x-y'",
                           "'lib.x'", "12", "nil", "{}"}) {
    SCOPED_TRACE(name);
    std::string expected = std::string("require: Invalid argument #1.\n\n");
    if (std::string(name) == "'lib.x'") expected = "require: No such module 'lib.x'.\n\n";
    EXPECT_EQ(run(std::string("show(require(") + name + "))"), expected);
  }
  EXPECT_EQ(run("show(require('nope'))"), "require: No such module 'nope'.\n\n");
  EXPECT_NE(harness_.errors().find("lib/nope.lua: No such file or directory"), std::string::npos);
  EXPECT_EQ(run("show(require('link'))"), "require: No such module 'link'.\n\n");
  EXPECT_EQ(run("show(require('fifo'))"), "require: No such module 'fifo'.\n\n");
  EXPECT_EQ(run("show(require('syntax'))"), "require: Error loading module 'syntax'.\n\n");
  harness_.errors();
  EXPECT_EQ(run("show(require('boom'))\nshow(require('boom'), tries)"),
            "require: Error loading module 'boom'.\n\n"
            "require: Error loading module 'boom'.\nnil,2\n");
  EXPECT_NE(harness_.errors().find("boom.lua:2: boom"), std::string::npos);
  EXPECT_EQ(run("show(require('loop'))"), "require: Loop loading module 'loop'.\ntrue\n");
}

constexpr const char* kCallee =
    "function echo(...) return ... end\n"
    "function count(t) local n = 0 for _ in pairs(t) do n = n + 1 end t.changed = true\n"
    "  return n end\n"
    "function store(v) kept = v end\n"
    "function get() return kept end\n"
    "function giveFunction() return 1, print end\n"
    "function boom() error('bang') end\n"
    "function back() return callScript('script', 'echo', 1) end\n"
    "function spin() while true do end end\n";

TEST_F(SharingTest, CallScriptCopiesArgumentsAndResults) {
  load("b", kCallee);
  harness_.output();
  EXPECT_EQ(
      run("local a, b, c, d, e = callScript('b', 'echo', nil, true, 2.5, 'x\\0y', {1, {k = 'v'}})\n"
          "show(a, b, c, d == 'x\\0y', e[1], e[2].k, select('#', callScript('b', 'echo', nil, "
          "nil)))"),
      "nil,true,2.5,true,1,v,2\n");
  EXPECT_EQ(run("local t = {1, 2}\nshow(callScript('b', 'count', t), t.changed)"), "2,nil\n");
  EXPECT_EQ(run("callScript('b', 'store', {v = 1})\nshow(callScript('b', 'get').v, kept)"),
            "1,nil\n");
  // A script calling itself, or a callee calling back into its caller,
  // would enter a state that is running; an idle one may be called.
  EXPECT_EQ(run("show(callScript('script', 'echo', 1))"), "callScript: Script is busy.\n\n");
  EXPECT_EQ(run("show(callScript('b', 'back'))"), "callScript: Script is busy.\n\n");
  EXPECT_EQ(run("show(callScript('script', 'echo', 1))", 1), "1\n");
}

TEST_F(SharingTest, CallScriptFindsAScriptOfADirectoryWithoutItsSuffix) {
  writeFile(dir() + "stats.lua", "function top() return 'Ann' end\n");
  ASSERT_NE(scripts().load(ScriptSource{dir() + "stats.lua", "stats.lua"}), nullptr);
  harness_.output();
  EXPECT_EQ(run("show(callScript('stats.lua', 'top'), callScript('stats', 'top'))"), "Ann,Ann\n");
}

TEST_F(SharingTest, CallScriptRefusesWhatItCannotCopyOrCall) {
  load("b", kCallee);
  harness_.output();
  const struct {
    const char* chunk;
    const char* output;
  } cases[] = {
      {"show(callScript({}, 'echo'))", "callScript: Invalid argument #1.\n\n"},
      {"show(callScript('b'))", "callScript: Invalid argument #2.\n\n"},
      {"show(callScript('b', string.rep('f', 257)))", "callScript: Invalid argument #2.\n\n"},
      {"show(callScript('nobody', 'echo'))", "callScript: No such script.\n\n"},
      {"show(callScript('b', 'echo', print))", "callScript: Invalid argument #3.\n\n"},
      {"local t = {} t.t = t\nshow(callScript('b', 'echo', 1, t))",
       "callScript: Invalid argument #4.\n\n"},
      {"local t = {} for i = 2, 17 do t = {t} end\nshow(callScript('b', 'echo', 1, 2, t))",
       "callScript: Invalid argument #5.\n\n"},
      {"local t = {} for i = 2, 16 do t = {t} end\nshow(#callScript('b', 'echo', t))", "1\n"},
      {"show(callScript('b', 'echo', newproxy()))", "callScript: Invalid argument #3.\n\n"},
      {"show(callScript('b', 'giveFunction'))", "callScript: Invalid result #2.\n\n"},
      {"show(callScript('b', 'boom'))", "LUA: Error in function 'boom'\n\n"},
      {"show(callScript('b', 'missing'))", "LUA: Error in function 'missing'\n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chunk);
    EXPECT_EQ(run(c.chunk), c.output);
  }
  EXPECT_NE(harness_.errors().find("bang"), std::string::npos);
  EXPECT_EQ(run("show(callScript('b', 'echo', 'still there'))"), "still there\n");
}

// Each read moves the clock on by a second, so any budget runs out at once.
uint64_t racingClock() {
  static uint64_t now = 0;
  return now += 1000;
}

TEST_F(SharingTest, CallScriptRunsTheCalleeUnderItsOwnLimits) {
  ScriptLimits limits;
  limits.budgetMs = 5000;
  limits.memoryBytes = 1024 * 1024;
  limits.nowMs = racingClock;
  scripts().setLimits(limits);
  load("b", kCallee);
  harness_.output();
  EXPECT_EQ(run("callScript('b', 'spin')\nshow('after')"),
            "LUA: Error in function 'spin'\nafter\n");
  EXPECT_NE(harness_.errors().find("ran longer than its budget of 5000 ms"), std::string::npos);
  EXPECT_EQ(run("show(callScript('b', 'echo', string.rep('x', 2 * 1024 * 1024)))"),
            "callScript: Not enough memory.\n\n");
  EXPECT_EQ(run("show(callScript('b', 'echo', 'fits'))"), "fits\n");
}

}  // namespace
}  // namespace gsadmin
