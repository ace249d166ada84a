// Script finalisers through a real state: they run after the call that
// dropped their proxy, as ordinary calls under the limits, and when the
// state closes; newproxy, shared metatables and later changes of __gc work
// as in plain Lua.

#include "script/lua_finalisers.h"

#include <gtest/gtest.h>

#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::SessionHarness;

const char kScript[] = R"lua(
log = {}
local function note(text) log[#log + 1] = text end
function show() print(table.concat(log, ' ')) log = {} end

function drop()
  local p = newproxy(true)
  getmetatable(p).__gc = function(q) note('gc ' .. type(q)) end
  p = nil
  collectgarbage()
  note('call ends')
end

function shared()
  local a = newproxy(true)
  local b = newproxy(a)
  local mt = getmetatable(a)
  mt.__gc = function() note('first') end
  mt.__gc = function() note('latest') end
  note(tostring(getmetatable(b) == mt) .. ' ' .. tostring(mt.__gc ~= nil))
  a, b = nil, nil
  collectgarbage()
end

function raw()
  local p = newproxy(true)
  local mt = getmetatable(p)
  rawset(mt, '__gc', function() note('raw') end)
  mt.__index = function(_, k) return k .. '!' end
  note(tostring(rawget(mt, '__gc') ~= nil) .. ' ' .. p.x .. ' ' .. tostring(getmetatable(mt)))
  note(tostring(pcall(setmetatable, mt, {})))
  p = nil
  collectgarbage()
end

function failing()
  getmetatable(newproxy(true)).__gc = function() error('finaliser fails') end
  collectgarbage()
end

function plain()
  note(tostring(getmetatable(newproxy())) .. ' ' .. tostring(getmetatable(newproxy(false))))
  note(tostring((pcall(newproxy, {}))) .. ' ' .. select(2, pcall(newproxy, newproxy())))
end

kept = newproxy(true)
getmetatable(kept).__gc = function() print('closing: kept') end
)lua";

void call(SessionHarness& harness, const char* name) {
  harness.session().scripts().fetchFunction(name);
  harness.session().scripts().callFunction(0);
  harness.session().scripts().fetchFunction("show");
  harness.session().scripts().callFunction(0);
}

TEST(LuaFinalisersTest, RunAfterTheCallAsInPlainLua) {
  SessionHarness harness(kScript);
  harness.output();
  struct Case {
    const char* function;
    const char* output;
  };
  const Case cases[] = {
      {"drop", "call ends gc userdata\n"},
      {"shared", "true true latest latest\n"},
      {"raw", "true x! false false raw\n"},
      {"failing", "LUA: Error in function '__gc'\n\n"},
      {"plain", "nil nil false bad argument #1 to '?' (boolean or proxy expected)\n"},
  };
  for (const Case& c : cases) {
    call(harness, c.function);
    EXPECT_EQ(harness.output(), c.output) << c.function;
  }
  EXPECT_NE(harness.errors().find("finaliser fails"), std::string::npos);
  // The proxy still alive gets its finaliser when the state closes.
  harness.session().scripts().unloadScripts();
  EXPECT_EQ(harness.output(), "closing: kept\n");
}

}  // namespace
}  // namespace gsadmin
