// The script limits through the ScriptManager and a real Lua state: the
// time budget on a hand-driven clock, the stop flag and the memory ceiling.

#include "script/lua_limits.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "script/script_manager.h"
#include "support/client_process.h"
#include "support/stdout_capture.h"

namespace gsadmin {
namespace {

// Each reading moves the clock on by one millisecond.
uint64_t g_fakeNow = 0;
uint64_t tickingClock() {
  return ++g_fakeNow;
}

class LimitsTest : public ::testing::Test {
 protected:
  // Loads `script` under `limits`; true when it loaded.
  bool load(const std::string& script, ScriptLimits limits) {
    dir_.write("script.lua", script);
    scripts_.setLimits(limits);
    return scripts_.loadScripts(dir_.path() + "/script.lua") != nullptr;
  }
  void call(const char* name, int32_t argument) {
    scripts_.fetchFunction(name);
    scripts_.pushInteger(argument);
    scripts_.callFunction(1);
  }

  testing::TempDir dir_;
  testing::StdoutCapture capture_;
  ScriptManager scripts_{standardConsole()};
};

TEST_F(LimitsTest, BudgetStopsOneCallAndTheNextCallGetsAFreshOne) {
  ScriptLimits limits;
  limits.budgetMs = 50;
  limits.nowMs = tickingClock;
  ASSERT_TRUE(load("function spin(n) for i = 1, n do end print('done ' .. n) end", limits));
  capture_.take();
  call("spin", 100);        // too short for the hook to read the clock often
  call("spin", 100000000);  // endless, as far as the budget cares
  call("spin", 200);
  EXPECT_EQ(capture_.take(), "done 100\nLUA: Error in function 'spin'\ndone 200\n");
}

TEST_F(LimitsTest, ABudgetOfZeroIsNoLimit) {
  ScriptLimits limits;
  limits.budgetMs = 0;
  limits.nowMs = tickingClock;
  ASSERT_TRUE(load("function spin(n) for i = 1, n do end print('done') end", limits));
  capture_.take();
  call("spin", 3000000);
  EXPECT_EQ(capture_.take(), "done\n");
}

TEST_F(LimitsTest, StopFlagStopsTheMainChunkAndEveryLaterCall) {
  volatile std::sig_atomic_t stop = 1;
  ScriptLimits limits;
  limits.stopRequested = &stop;
  EXPECT_FALSE(load("while true do end", limits));
  EXPECT_EQ(capture_.take(), "");  // a failed main chunk is silent on stdout
  stop = 0;
  ASSERT_TRUE(load("function spin() while true do end end", limits));
  capture_.take();
  stop = 1;
  call("spin", 0);
  EXPECT_EQ(capture_.take(), "LUA: Error in function 'spin'\n");
}

TEST_F(LimitsTest, CatchingTheStopWithPcallDoesNotKeepTheCallRunning) {
  ScriptLimits limits;
  limits.budgetMs = 50;
  limits.nowMs = tickingClock;
  ASSERT_TRUE(
      load("function spin() while true do end end\n"
           "function retry(n) while true do pcall(spin) end end\n"
           "function count(n) local i = 0 while i < n do i = i + 1 end print('counted ' .. i) end",
           limits));
  capture_.take();
  call("retry", 0);
  // The next call runs at the usual pace again, with a budget of its own.
  call("count", 100000);
  EXPECT_EQ(capture_.take(), "LUA: Error in function 'retry'\ncounted 100000\n");
}

TEST_F(LimitsTest, MemoryCeilingFailsTheCallAndTheMemoryComesBack) {
  ScriptLimits limits;
  limits.memoryBytes = 4 * 1024 * 1024;
  ASSERT_TRUE(
      load("function grow() local t = {} while true do t[#t + 1] = ('x'):rep(100) .. #t end end\n"
           "function small(n) print('small ' .. n) end\n",
           limits));
  capture_.take();
  const LuaLimiter& limiter = *scripts_.all().at(0)->limiter;
  size_t before = limiter.bytesInUse();
  for (int round = 0; round < 3; ++round) {
    call("grow", 0);
    call("small", round);
    // What stays is the grown string table, not the 4 MiB of the failed call.
    EXPECT_LE(limiter.bytesInUse(), before + 512 * 1024);
  }
  EXPECT_EQ(capture_.take(),
            "LUA: Error in function 'grow'\nsmall 0\n"
            "LUA: Error in function 'grow'\nsmall 1\n"
            "LUA: Error in function 'grow'\nsmall 2\n");
}

TEST_F(LimitsTest, ACeilingTooLowForTheLibrariesIsUnableToLoad) {
  ScriptLimits limits;
  limits.memoryBytes = 1024;
  EXPECT_FALSE(load("print('never')", limits));
  EXPECT_NE(capture_.take().find("LUA: Unable to load script"), std::string::npos);
}

}  // namespace
}  // namespace gsadmin
