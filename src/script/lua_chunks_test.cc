// Only source text loads: precompiled chunks are refused by the script
// loader, loadstring, load, loadfile and dofile alike, through a real state.

#include "script/lua_chunks.h"

#include <gtest/gtest.h>

#include <string>

#include "script/lua.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::SessionHarness;

int appendTo(lua_State*, const void* data, size_t size, void* out) {
  static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
  return 0;
}

// `source` compiled by a plain Lua state into a precompiled chunk.
std::string precompiled(const char* source) {
  lua_State* L = luaL_newstate();
  std::string bytes;
  if (luaL_loadstring(L, source) == 0) lua_dump(L, appendTo, &bytes);
  lua_close(L);
  return bytes;
}

// `bytes` as a Lua string literal.
std::string literal(const std::string& bytes) {
  std::string quoted = "\"";
  for (unsigned char c : bytes) quoted += "\\" + std::to_string(c);
  return quoted + "\"";
}

TEST(LuaChunksTest, APrecompiledScriptFileIsUnableToLoad) {
  SessionHarness harness(precompiled("print('compiled ran')"));
  EXPECT_EQ(harness.output(), "LUA: Unable to load script '" + harness.scriptPath() + "'\n");
  EXPECT_EQ(harness.errors(), std::string(kBinaryChunkRefused) + "\n");
  EXPECT_TRUE(harness.session().scripts().empty());
}

TEST(LuaChunksTest, EveryLoaderRefusesBinaryAndTakesText) {
  std::string bytes = precompiled("return 'compiled ran'");
  testing::TempDir dir;
  dir.write("binary.luac", bytes);
  dir.write("hashed.luac", "#!/usr/bin/lua\n" + bytes);
  dir.write("text.lua", "#!/usr/bin/lua\nreturn 'text file ' .. select('#', ...)\n");
  const std::string d = dir.path() + "/";
  SessionHarness harness("local bytes = " + literal(bytes) + R"lua(
local function pieces(list)
  local i = 0
  return function() i = i + 1 return list[i] end
end
print(string.dump, ('').dump)
print(loadstring(bytes))
print(load(pieces({bytes:sub(1, 1), bytes:sub(2)})))
print(loadfile(')lua" + d +
                         R"lua(binary.luac'))
print(pcall(dofile, ')lua" +
                         d + R"lua(binary.luac'))
print(select(2, loadfile(')lua" +
                         d + R"lua(hashed.luac')) ~= nil)
print(loadstring('return 1 + 1')(), load(pieces({'return ', '"pie', 'ces"'}))())
print(loadfile(')lua" + d +
                         R"lua(text.lua')(), dofile(')lua" + d + R"lua(text.lua'))
print(type(load(pieces({}))), type(loadstring('')))
print((pcall(loadfile)), loadfile(')lua" +
                         d + R"lua(missing.lua'))
)lua");
  std::string refused = std::string(kBinaryChunkRefused);
  EXPECT_EQ(harness.output(),
            "nil\tnil\n"
            "nil\t" +
                refused +
                "\n"
                "nil\t" +
                refused +
                "\n"
                "nil\t" +
                refused +
                "\n"
                "false\t" +
                refused +
                "\n"
                "true\n"
                "2\tpieces\n"
                "text file 0\ttext file 0\n"
                "function\tfunction\n"
                "false\tnil\t"
                "cannot open " +
                d +
                "missing.lua: No such file or directory\n"
                "LUA: Script '" +
                harness.scriptPath() + "' loaded.\n");
}

TEST(LuaChunksTest, ConsoleChunksAreTextOnlyToo) {
  SessionHarness harness("");
  harness.output();
  std::vector<std::string> results;
  std::string error;
  EXPECT_FALSE(harness.session().scripts().runChunk(precompiled("return 1"), &results, &error));
  EXPECT_EQ(error, kBinaryChunkRefused);
}

}  // namespace
}  // namespace gsadmin
