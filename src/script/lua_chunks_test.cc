// Only source text loads: precompiled chunks are refused by the script
// loader, loadstring, load, loadfile and dofile alike, through a real state.

#include "script/lua_chunks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Links are followed in the trusted part of a name only: below it neither
// a directory on the way nor the file may be one.
TEST(LuaChunksTest, BelowTheTrustedPartNoLinkIsFollowed) {
  testing::TempDir dir;
  const std::string root = dir.path() + "/";
  for (const char* folder : {"real", "real/lib", "real/lib/sub", "away"}) {
    ASSERT_EQ(mkdir((root + folder).c_str(), 0700), 0);
  }
  dir.write("real/lib/sub/mod.lua", "return 1");
  dir.write("away/mod.lua", "return 2");
  ASSERT_EQ(symlink((root + "real/lib").c_str(), (root + "lib").c_str()), 0);
  ASSERT_EQ(symlink((root + "away").c_str(), (root + "real/lib/linked").c_str()), 0);
  ASSERT_EQ(symlink((root + "away/mod.lua").c_str(), (root + "real/lib/file.lua").c_str()), 0);
  struct Case {
    std::string name;
    size_t trusted;
    bool loads;
  };
  const Case cases[] = {
      {root + "lib/sub/mod.lua", root.size() + 4, true},  // lib/ itself is trusted
      {root + "real/lib/sub/mod.lua", root.size() + 9, true},
      {root + "real/lib/linked/mod.lua", root.size() + 9, false},
      {root + "real/lib/file.lua", root.size() + 9, false},
      {root + "real/lib/sub/mod.lua", root.size(), true},
      {root + "lib/sub/mod.lua", root.size(), false},  // now lib is below
      {root + "real/lib/sub/none.lua", root.size() + 9, false},
      {root + "real/lib/sub", root.size() + 9, false},  // a directory
      {root + "x", root.size() + 9, false},             // trust past the end
  };
  lua_State* L = luaL_newstate();
  for (const Case& c : cases) {
    int status = loadTextFileBelow(L, c.name.c_str(), c.trusted);
    EXPECT_EQ(status == 0, c.loads) << c.name << " " << lua_tostring(L, -1);
    if (!c.loads) {
      EXPECT_EQ(status, LUA_ERRFILE) << c.name;
    }
    lua_settop(L, 0);
  }
  ASSERT_NE(loadTextFileBelow(L, (root + "real/lib/linked/mod.lua").c_str(), root.size() + 9), 0);
  EXPECT_NE(std::string(lua_tostring(L, -1)).find("symbolic links"), std::string::npos);
  lua_close(L);
}

}  // namespace
}  // namespace gsadmin
