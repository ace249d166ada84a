#include "script/script_chunk.h"

#include <algorithm>

#include "script/lua.h"
#include "script/lua_chunks.h"

namespace gsadmin {
namespace {

// The value at `index` through the global tostring ("?" when that gives no
// string). Every Lua call is over before the text is copied.
std::string toText(lua_State* L, int index) {
  lua_getglobal(L, "tostring");
  lua_pushvalue(L, index);
  lua_call(L, 1, 1);
  size_t length = 0;
  const char* text = lua_tolstring(L, -1, &length);
  std::string copy = text ? std::string(text, length) : std::string("?");
  lua_pop(L, 1);
  return copy;
}

// [..., table at `table`] -> [...] fills `fields`, unsorted.
void collectFields(lua_State* L, int table, std::vector<ChunkTableField>* fields) {
  fields->clear();
  lua_pushnil(L);
  while (lua_next(L, table) != 0) {  // [..., key, value]
    ChunkTableField& field = fields->emplace_back();
    field.numericKey = lua_type(L, -2) == LUA_TNUMBER;
    field.keyNumber = lua_tonumber(L, -2);
    field.key = toText(L, lua_gettop(L) - 1);
    field.value = toText(L, lua_gettop(L));
    lua_pop(L, 1);
  }
}

std::string joinFields(std::vector<ChunkTableField>& fields) {
  std::sort(fields.begin(), fields.end(), [](const ChunkTableField& a, const ChunkTableField& b) {
    if (a.numericKey != b.numericKey) return a.numericKey;
    if (a.numericKey && a.keyNumber != b.keyNumber) return a.keyNumber < b.keyNumber;
    return a.key < b.key;
  });
  std::string joined = "{";
  for (const ChunkTableField& field : fields) {
    if (joined.size() > 1) joined += ", ";
    joined += field.key + "=" + field.value;
  }
  return joined + "}";
}

}  // namespace

int runConsoleChunk(lua_State* L) {
  auto* request = static_cast<ChunkRequest*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  if (loadTextBuffer(L, request->code.data(), request->code.size(), "=console") != 0) {
    lua_error(L);
  }
  lua_call(L, 0, LUA_MULTRET);
  int count = lua_gettop(L);
  for (int i = 1; i <= count; ++i) {
    if (lua_type(L, i) == LUA_TTABLE) {
      collectFields(L, i, &request->fields);
      request->results->push_back(joinFields(request->fields));
    } else {
      request->results->push_back(toText(L, i));
    }
  }
  return 0;
}

}  // namespace gsadmin
