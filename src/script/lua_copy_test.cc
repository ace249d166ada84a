// Copies between two real Lua states: what is copied, what is refused, and
// that a refusal leaves both stacks as they were.

#include "script/lua_copy.h"

#include <gtest/gtest.h>

#include <string>

#include "script/lua.h"
#include "script/script_state.h"

namespace gsadmin {
namespace {

// Serialises a value in a fixed order, so that copies can be compared as text.
constexpr const char* kDump =
    "function dump(v)\n"
    "  if type(v) ~= 'table' then return type(v) .. ':' .. tostring(v) end\n"
    "  local keys = {}\n"
    "  for k in pairs(v) do keys[#keys + 1] = k end\n"
    "  table.sort(keys, function(a, b) return dump(a) < dump(b) end)\n"
    "  local parts = {}\n"
    "  for _, k in ipairs(keys) do parts[#parts + 1] = dump(k) .. '=' .. dump(v[k]) end\n"
    "  return '{' .. table.concat(parts, ',') .. '}'\n"
    "end\n"
    "function nest(depth)\n"
    "  local t = {}\n"
    "  for i = 2, depth do t = {t} end\n"
    "  return t\n"
    "end\n";

LuaStatePtr newState() {
  LuaStatePtr state(luaL_newstate());
  luaL_openlibs(state.get());
  EXPECT_EQ(luaL_dostring(state.get(), kDump), 0);
  return state;
}

struct CopyJob {
  lua_State* from;
  int index;
  bool copied = false;
};

// The destination's protected call: [CopyJob*] -> [] copies into the
// global "copy".
int copyIntoGlobal(lua_State* to) {
  auto* job = static_cast<CopyJob*>(lua_touserdata(to, 1));
  lua_settop(to, 0);
  LuaCopy copy{job->from, to};
  job->copied = pushCopy(&copy, job->index);
  EXPECT_EQ(lua_gettop(to), job->copied ? 1 : 0);
  if (job->copied) lua_setglobal(to, "copy");
  return 0;
}

std::string evaluate(lua_State* L, const std::string& expression) {
  EXPECT_EQ(luaL_dostring(L, ("return " + expression).c_str()), 0) << lua_tostring(L, -1);
  std::string text = lua_tostring(L, -1);
  lua_settop(L, 0);
  return text;
}

struct CopyCase {
  const char* expression;  // in the source
  bool copied;
};

TEST(LuaCopyTest, CopiesPlainValuesAndTablesAndRefusesTheRest) {
  const CopyCase cases[] = {
      {"nil", true},
      {"true", true},
      {"false", true},
      {"-2.5", true},
      {"1e308", true},
      {"'text\\0with nul'", true},
      {"''", true},
      {"{}", true},
      {"{1, 'two', {three = 3}, [true] = false, [2.5] = 'x'}", true},
      {"{[{1}] = {2}}", true},
      {"setmetatable({a = 1}, {__index = function() return 0 end})", true},
      {"(function() local s = {1} return {s, s} end)()", true},
      {"nest(16)", true},
      {"nest(17)", false},
      {"(function() local t = {} t.self = t return t end)()", false},
      {"(function() local a, b = {}, {} a.b = b b.a = a return a end)()", false},
      {"{[{}] = {{}, {print}}}", false},
      {"{k = function() end}", false},
      {"{[print] = 1}", false},
      {"print", false},
      {"function() end", false},
      {"newproxy()", false},
      {"coroutine.create(function() end)", false},
      {"{io.stdout}", false},
  };
  for (const CopyCase& c : cases) {
    SCOPED_TRACE(c.expression);
    LuaStatePtr from = newState();
    LuaStatePtr to = newState();
    lua_State* src = from.get();
    ASSERT_EQ(luaL_dostring(src, (std::string("value = ") + c.expression).c_str()), 0);
    lua_pushinteger(src, 7);  // below the value: must stay where it is
    lua_getglobal(src, "value");
    CopyJob job{src, 2};
    ASSERT_EQ(lua_cpcall(to.get(), copyIntoGlobal, &job), 0);
    EXPECT_EQ(job.copied, c.copied);
    EXPECT_EQ(lua_gettop(src), 2);
    EXPECT_EQ(lua_tointeger(src, 1), 7);
    lua_settop(src, 0);
    if (c.copied) {
      EXPECT_EQ(evaluate(to.get(), "dump(copy)"), evaluate(src, "dump(value)"));
    }
  }
}

TEST(LuaCopyTest, CopiesAreIndependentAndLoseTheirMetatable) {
  LuaStatePtr from = newState();
  LuaStatePtr to = newState();
  ASSERT_EQ(luaL_dostring(from.get(),
                          "value = setmetatable({inner = {1}}, {})\n"
                          "shared = {1}\n"
                          "pair = {shared, shared}\n"),
            0);
  lua_getglobal(from.get(), "value");
  CopyJob job{from.get(), -1};
  ASSERT_EQ(lua_cpcall(to.get(), copyIntoGlobal, &job), 0);
  ASSERT_TRUE(job.copied);
  EXPECT_EQ(evaluate(to.get(), "tostring(getmetatable(copy))"), "nil");
  ASSERT_EQ(luaL_dostring(to.get(), "copy.inner[1] = 99"), 0);
  EXPECT_EQ(evaluate(from.get(), "value.inner[1]"), "1");
  // A table reached twice becomes two tables.
  lua_settop(from.get(), 0);
  lua_getglobal(from.get(), "pair");
  job = CopyJob{from.get(), 1};
  ASSERT_EQ(lua_cpcall(to.get(), copyIntoGlobal, &job), 0);
  EXPECT_EQ(evaluate(to.get(), "tostring(copy[1] ~= copy[2])"), "true");
}

TEST(LuaCopyTest, ATableSharedOverAndOverIsRefusedNotCopiedWithoutEnd) {
  LuaStatePtr from = newState();
  LuaStatePtr to = newState();
  // 16 levels of four references to the level below: 4^15 leaves.
  ASSERT_EQ(luaL_dostring(from.get(),
                          "local t = {1}\n"
                          "for i = 2, 16 do t = {t, t, t, t} end\n"
                          "value = t\n"),
            0);
  lua_getglobal(from.get(), "value");
  CopyJob job{from.get(), 1};
  ASSERT_EQ(lua_cpcall(to.get(), copyIntoGlobal, &job), 0);
  EXPECT_FALSE(job.copied);
}

TEST(LuaCopyTest, RunningOutOfMemoryInTheDestinationIsItsErrorAlone) {
  LuaStatePtr from = newState();
  ScriptLimits limits;
  limits.memoryBytes = 256 * 1024;
  LuaLimiter limiter(limits);
  LuaStatePtr to(limiter.newState());
  ASSERT_EQ(luaL_dostring(from.get(), "value = {string.rep('x', 1024 * 1024)}"), 0);
  lua_getglobal(from.get(), "value");
  CopyJob job{from.get(), 1};
  EXPECT_EQ(lua_cpcall(to.get(), copyIntoGlobal, &job), LUA_ERRMEM);
  lua_settop(from.get(), 1);  // the copy may have left keys above it
  EXPECT_EQ(evaluate(from.get(), "#value[1]"), "1048576");
}

}  // namespace
}  // namespace gsadmin
