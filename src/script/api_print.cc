#include "console/console.h"
#include "script/api_args.h"
#include "script/api_functions.h"
#include "script/lua.h"

namespace gsadmin::api {

// The base library's print, writing its one line through the console: each
// argument through the global tostring, cut at its first NUL, separated by
// tabs. The line is built on the Lua stack, so an error raised by tostring
// leaves nothing behind to free.
int print(lua_State* L) {
  int n = lua_gettop(L);
  lua_getglobal(L, "tostring");
  luaL_Buffer line;
  luaL_buffinit(L, &line);
  for (int i = 1; i <= n; ++i) {
    if (i > 1) luaL_addchar(&line, '\t');
    lua_pushvalue(L, n + 1);
    lua_pushvalue(L, i);
    lua_call(L, 1, 1);
    const char* text = lua_tostring(L, -1);
    if (text == nullptr) {
      return luaL_error(L, LUA_QL("tostring") " must return a string to " LUA_QL("print"));
    }
    lua_pushstring(L, text);  // the text up to its first NUL
    lua_replace(L, -2);
    luaL_addvalue(&line);
  }
  luaL_pushresult(&line);
  size_t length = 0;
  const char* text = lua_tolstring(L, -1, &length);
  ApiCall(L).console().entry(LogEntry(LogKind::kScript, std::string_view(text, length)));
  return 0;
}

}  // namespace gsadmin::api
