#include "script/lua_copy.h"

#include "script/lua.h"

namespace gsadmin {
namespace {

// The tables being copied, outermost first: a table found among them holds
// itself. Plain pointers, so an error in the destination leaks nothing.
struct CopyPath {
  const void* tables[kMaxCopyDepth];
  int depth = 0;
};

bool copyValue(LuaCopy* copy, CopyPath* path, int index);

bool onPath(const CopyPath& path, const void* table) {
  for (int i = 0; i < path.depth; ++i) {
    if (path.tables[i] == table) return true;
  }
  return false;
}

// from: [..., table at `index`] -> unchanged; to: [...] -> [..., copy].
// Reads the table raw, with lua_next, which neither allocates nor runs code.
bool copyTable(LuaCopy* copy, CopyPath* path, int index) {
  lua_State* from = copy->from;
  lua_State* to = copy->to;
  const void* table = lua_topointer(from, index);
  if (path->depth == kMaxCopyDepth || onPath(*path, table)) return false;
  path->tables[path->depth++] = table;
  luaL_checkstack(to, 3, "tables nested too deep");
  lua_newtable(to);                     // to: [..., copy]
  lua_pushnil(from);                    // from: [..., nil]
  while (lua_next(from, index) != 0) {  // from: [..., key, value]
    int value = lua_gettop(from);
    if (!copyValue(copy, path, value - 1) || !copyValue(copy, path, value)) {
      lua_pop(from, 2);
      return false;  // the caller drops what is on `to`
    }
    lua_rawset(to, -3);  // to: [..., copy]
    lua_pop(from, 1);    // from: [..., key]
  }
  --path->depth;
  return true;
}

// from: unchanged; to: [...] -> [..., copy] when true.
bool copyValue(LuaCopy* copy, CopyPath* path, int index) {
  if (copy->valuesLeft == 0) return false;
  --copy->valuesLeft;
  lua_State* from = copy->from;
  lua_State* to = copy->to;
  switch (lua_type(from, index)) {
    case LUA_TNIL:
      lua_pushnil(to);
      return true;
    case LUA_TBOOLEAN:
      lua_pushboolean(to, lua_toboolean(from, index));
      return true;
    case LUA_TNUMBER:
      lua_pushnumber(to, lua_tonumber(from, index));
      return true;
    case LUA_TSTRING: {
      size_t length = 0;
      const char* text = lua_tolstring(from, index, &length);  // a string: no conversion
      lua_pushlstring(to, text, length);
      return true;
    }
    case LUA_TTABLE:
      return copyTable(copy, path, index);
    default:
      return false;
  }
}

}  // namespace

bool pushCopy(LuaCopy* copy, int index) {
  lua_State* from = copy->from;
  if (index < 0 && index > LUA_REGISTRYINDEX) index = lua_gettop(from) + index + 1;
  int fromTop = lua_gettop(from);
  int toTop = lua_gettop(copy->to);
  CopyPath path;
  luaL_checkstack(copy->to, 2, "no room for a copy");
  if (copyValue(copy, &path, index)) return true;
  lua_settop(from, fromTop);
  lua_settop(copy->to, toTop);
  return false;
}

}  // namespace gsadmin
