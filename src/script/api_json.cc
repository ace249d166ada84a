// jsonEncode and jsonDecode: Lua values to JSON text and back, with JSON's
// null as the light userdata jsonNull.
//
// Both sides of a conversion that touch Lua run inside lua_cpcall, so that
// running out of memory there is an error code. The JSON document lives
// in the API function's own frame, outside the protected call; inside it,
// values are built in place in that document, so no C++ object of the
// protected call's frames is alive when a Lua call raises.

#include <cmath>
#include <cstdio>
#include <new>
#include <nlohmann/json.hpp>
#include <string>

#include "script/api.h"
#include "script/api_args.h"
#include "script/api_functions.h"
#include "script/lua.h"

namespace gsadmin {
namespace {

// Its address is the sentinel, the same in every state.
const char kNullSentinel = 0;
// Registry key of the value on its way into or out of a protected call
// (lua_cpcall passes and keeps none). registerApi sets it, and it is
// never removed (false when unused), so setting it allocates nothing.
const char kSlotKey = 0;

constexpr int kMaxDepth = 64;
// A decoded document is built outside the script's memory ceiling, at
// several times the text's size: longer texts are refused.
constexpr size_t kMaxDecodeBytes = 16 * 1024 * 1024;

using Json = nlohmann::json;

struct EncodeState {
  lua_State* L;
  Json document;
  const char* failure = nullptr;  // static text: why it was refused
};

bool isSequence(lua_State* L, int index, size_t* length) {
  size_t count = 0;
  lua_pushnil(L);
  while (lua_next(L, index) != 0) {
    lua_pop(L, 1);
    ++count;
  }
  *length = lua_objlen(L, index);
  return count > 0 && count == *length;
}

bool encodeValue(EncodeState* state, int index, Json& out, int depth);

// A number key of an object becomes its text, as JSON keys are texts.
bool keyText(lua_State* L, int index, std::string* key) {
  if (lua_type(L, index) == LUA_TSTRING) {
    size_t length = 0;
    const char* data = lua_tolstring(L, index, &length);  // a string: no conversion
    key->assign(data, length);
    return true;
  }
  if (lua_type(L, index) != LUA_TNUMBER) return false;
  double number = lua_tonumber(L, index);
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", number);
  key->assign(text);
  return true;
}

// [..., table at `index`] -> unchanged; fills `out`.
bool encodeTable(EncodeState* state, int index, Json& out, int depth) {
  lua_State* L = state->L;
  if (depth > kMaxDepth) {
    state->failure = "nesting deeper than 64";
    return false;
  }
  luaL_checkstack(L, 4, "nesting too deep");
  size_t length = 0;
  if (isSequence(L, index, &length)) {
    out = Json::array();
    for (size_t i = 1; i <= length; ++i) {
      lua_rawgeti(L, index, static_cast<int>(i));  // [..., value]
      out.push_back(nullptr);
      bool ok = encodeValue(state, lua_gettop(L), out.back(), depth + 1);
      lua_pop(L, 1);
      if (!ok) return false;
    }
    return true;
  }
  out = Json::object();
  lua_pushnil(L);                    // [..., key]
  while (lua_next(L, index) != 0) {  // [..., key, value]
    std::string key;
    bool named = keyText(L, -2, &key);
    Json* slot = named ? &out[key] : nullptr;
    key = std::string();  // nothing of ours outlives the next Lua call
    if (!named) {
      lua_pop(L, 2);
      state->failure = "a table key must be a string or a number";
      return false;
    }
    if (!encodeValue(state, lua_gettop(L), *slot, depth + 1)) {
      lua_pop(L, 2);
      return false;
    }
    lua_pop(L, 1);  // [..., key]
  }
  return true;
}

bool encodeValue(EncodeState* state, int index, Json& out, int depth) {
  lua_State* L = state->L;
  switch (lua_type(L, index)) {
    case LUA_TNIL:
      out = nullptr;
      return true;
    case LUA_TBOOLEAN:
      out = lua_toboolean(L, index) != 0;
      return true;
    case LUA_TNUMBER: {
      double number = lua_tonumber(L, index);
      if (!std::isfinite(number)) {
        state->failure = "cannot encode NaN or infinity";
        return false;
      }
      if (std::floor(number) == number && std::fabs(number) < 9007199254740992.0) {
        out = static_cast<int64_t>(number);
      } else {
        out = number;
      }
      return true;
    }
    case LUA_TSTRING: {
      size_t length = 0;
      const char* data = lua_tolstring(L, index, &length);
      out = std::string(data, length);
      return true;
    }
    case LUA_TTABLE:
      return encodeTable(state, index, out, depth);
    case LUA_TLIGHTUSERDATA:
      if (lua_touserdata(L, index) == &kNullSentinel) {
        out = nullptr;
        return true;
      }
      [[fallthrough]];
    default:
      state->failure = "cannot encode a function, userdata or thread";
      return false;
  }
}

// [EncodeState*] -> []: fills the document from the value in the slot.
int encodeProtected(lua_State* L) {
  auto* state = static_cast<EncodeState*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  lua_pushlightuserdata(L, const_cast<char*>(&kSlotKey));
  lua_rawget(L, LUA_REGISTRYINDEX);  // [value]
  state->L = L;
  try {
    encodeValue(state, 1, state->document, 1);
  } catch (const std::exception&) {
    state->failure = "not enough memory";
  }
  return 0;
}

struct DecodeState {
  const Json* document;
};

// [...] -> [..., value] for `value` (checked no deeper than kMaxDepth).
void pushJson(lua_State* L, const Json& value) {
  luaL_checkstack(L, 3, "nesting too deep");
  switch (value.type()) {
    case Json::value_t::null:
    case Json::value_t::discarded:
      lua_pushlightuserdata(L, const_cast<char*>(&kNullSentinel));
      return;
    case Json::value_t::boolean:
      lua_pushboolean(L, value.get<bool>() ? 1 : 0);
      return;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      lua_pushnumber(L, value.get<double>());
      return;
    case Json::value_t::string: {
      const std::string& text = value.get_ref<const std::string&>();
      lua_pushlstring(L, text.data(), text.size());
      return;
    }
    case Json::value_t::array: {
      lua_createtable(L, static_cast<int>(std::min<size_t>(value.size(), 1 << 20)), 0);
      int i = 0;
      for (auto it = value.begin(); it != value.end(); ++it) {
        pushJson(L, *it);
        lua_rawseti(L, -2, ++i);
      }
      return;
    }
    case Json::value_t::object:
      lua_createtable(L, 0, static_cast<int>(std::min<size_t>(value.size(), 1 << 20)));
      for (auto it = value.begin(); it != value.end(); ++it) {
        lua_pushlstring(L, it.key().data(), it.key().size());
        pushJson(L, it.value());
        lua_rawset(L, -3);
      }
      return;
    case Json::value_t::binary:
      lua_pushnil(L);
      return;
  }
}

// [DecodeState*] -> []: leaves the value at kSlotKey in the registry.
int decodeProtected(lua_State* L) {
  const auto* state = static_cast<const DecodeState*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  lua_pushlightuserdata(L, const_cast<char*>(&kSlotKey));
  pushJson(L, *state->document);  // [key, value]
  lua_rawset(L, LUA_REGISTRYINDEX);
  return 0;
}

// nlohmann's messages begin with "[json.exception.parse_error.101] ".
std::string parseMessage(const char* what) {
  std::string message(what);
  size_t end = message.find("] ");
  return end == std::string::npos ? message : message.substr(end + 2);
}

// Parses argument 1 into *document; empty when done, else why not.
std::string parseArgument(lua_State* L, Json* document) {
  size_t length = 0;
  const char* text = lua_tolstring(L, 1, &length);  // checked a string
  if (length > kMaxDecodeBytes) return "text over 16777216 bytes";
  bool tooDeep = false;
  // Only an array or object that begins counts: it gets the depth of its
  // parent (0 for the outermost), while a key or value inside gets its own.
  auto depthCheck = [&tooDeep](int depth, Json::parse_event_t event, Json&) {
    bool opens =
        event == Json::parse_event_t::array_start || event == Json::parse_event_t::object_start;
    if (opens && depth >= kMaxDepth) tooDeep = true;
    return !tooDeep;
  };
  try {
    *document = Json::parse(text, text + length, depthCheck);
  } catch (const Json::exception& error) {
    return tooDeep ? "nesting deeper than 64" : parseMessage(error.what());
  } catch (const std::bad_alloc&) {
    return "not enough memory";
  }
  if (tooDeep) return "nesting deeper than 64";
  return "";
}

// [StoredText*] -> []: leaves the text at kSlotKey in the registry.
int storeText(lua_State* L) {
  const auto* text = static_cast<const std::string*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  lua_pushlightuserdata(L, const_cast<char*>(&kSlotKey));
  lua_pushlstring(L, text->data(), text->size());  // [key, text]
  lua_rawset(L, LUA_REGISTRYINDEX);
  return 0;
}

// [..., value at `index`, ...] -> unchanged; the value is in the slot.
void setSlot(lua_State* L, int index) {
  lua_pushvalue(L, index);
  lua_pushlightuserdata(L, const_cast<char*>(&kSlotKey));
  lua_insert(L, -2);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

// [...] -> [..., stored value]; the slot is emptied.
int takeStored(lua_State* L) {
  lua_pushlightuserdata(L, const_cast<char*>(&kSlotKey));
  lua_rawget(L, LUA_REGISTRYINDEX);
  lua_pushboolean(L, 0);
  setSlot(L, -1);
  lua_pop(L, 1);
  return 1;
}

// Encodes argument 1 and stores the text (storeText); null when done,
// else why not.
const char* encodeAndStore(lua_State* L) {
  EncodeState state{L, Json()};
  setSlot(L, 1);
  if (lua_cpcall(L, encodeProtected, &state) != 0) {
    lua_pop(L, 1);
    lua_pushboolean(L, 0);
    setSlot(L, -1);
    lua_pop(L, 1);
    return "not enough memory";
  }
  lua_pushboolean(L, 0);  // the slot lets go of the value
  setSlot(L, -1);
  lua_pop(L, 1);
  if (state.failure != nullptr) return state.failure;
  std::string text;
  try {
    text = state.document.dump(-1, ' ', false, Json::error_handler_t::strict);
  } catch (const Json::exception&) {
    return "a string is not valid UTF-8";
  } catch (const std::bad_alloc&) {
    return "not enough memory";
  }
  if (lua_cpcall(L, storeText, &text) != 0) {
    lua_pop(L, 1);
    return "not enough memory";
  }
  return nullptr;
}

// Decodes argument 1 and stores the value; empty when done, else why not.
std::string decodeAndStore(lua_State* L) {
  Json document;
  std::string error = parseArgument(L, &document);
  if (!error.empty()) return error;
  DecodeState state{&document};
  if (lua_cpcall(L, decodeProtected, &state) != 0) {
    lua_pop(L, 1);
    return "not enough memory";
  }
  return "";
}

}  // namespace

namespace api {

void pushJsonNull(lua_State* L) {
  lua_pushlightuserdata(L, const_cast<char*>(&kNullSentinel));
}

void prepareJson(lua_State* L) {
  lua_pushlightuserdata(L, const_cast<char*>(&kSlotKey));
  lua_pushboolean(L, 0);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

int jsonEncode(lua_State* L) {
  ApiCall call(L);
  if (lua_gettop(L) < 1) return call.refuse("Invalid argument #1.");
  lua_settop(L, 1);
  if (const char* failure = encodeAndStore(L)) return call.refuse(failure);
  return takeStored(L);
}

int jsonDecode(lua_State* L) {
  ApiCall call(L);
  if (lua_type(L, 1) != LUA_TSTRING) return call.refuse("Invalid argument #1.");
  lua_settop(L, 1);
  {
    std::string error = decodeAndStore(L);
    if (!error.empty()) return call.refuse(error.c_str());
  }
  return takeStored(L);
}

}  // namespace api
}  // namespace gsadmin
