// dbExec and dbQuery: one SQL statement against the session's database,
// with the call's extra arguments bound to its placeholders, never spliced.

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "context/session_context.h"
#include "script/api_args.h"
#include "script/api_functions.h"
#include "script/lua.h"
#include "storage/database.h"

namespace gsadmin::api {
namespace {

// Where pushRows leaves its table for the caller: lua_cpcall keeps no
// results.
constexpr const char* kRowsKey = "gsadmin.dbRows";

// Lua 5.1 numbers are doubles: a whole number that fits is bound as an
// integer, anything else (a fraction, an infinity, NaN) as a real.
DbValue numberValue(double number) {
  if (std::floor(number) == number && number >= -9223372036854775808.0 &&
      number < 9223372036854775808.0) {
    return DbValue::integer(static_cast<int64_t>(number));
  }
  return DbValue::real(number);
}

// The values bound to the placeholders: arguments 2 and up. Refuses (and
// returns false) at the first argument of another type.
bool readBindings(const ApiCall& call, std::vector<DbValue>* bindings) {
  lua_State* L = call.state();
  int top = lua_gettop(L);
  bindings->reserve(static_cast<size_t>(top > 1 ? top - 1 : 0));
  for (int index = 2; index <= top; ++index) {
    switch (lua_type(L, index)) {
      case LUA_TNIL:
        bindings->push_back(DbValue::null());
        break;
      case LUA_TBOOLEAN:
        bindings->push_back(DbValue::integer(lua_toboolean(L, index) ? 1 : 0));
        break;
      case LUA_TNUMBER:
        bindings->push_back(numberValue(lua_tonumber(L, index)));
        break;
      case LUA_TSTRING:
        bindings->push_back(DbValue::text(call.text(index)));
        break;
      default:
        call.refuse(("Invalid argument #" + std::to_string(index) + ".").c_str());
        return false;
    }
  }
  return true;
}

void pushValue(lua_State* L, const DbValue& value) {
  switch (value.type) {
    case DbValue::Type::kInteger:
      lua_pushnumber(L, static_cast<lua_Number>(value.integerValue));
      break;
    case DbValue::Type::kReal:
      lua_pushnumber(L, value.realValue);
      break;
    case DbValue::Type::kText:
    case DbValue::Type::kBlob:
      lua_pushlstring(L, value.bytes.data(), value.bytes.size());
      break;
    case DbValue::Type::kNull:
      lua_pushnil(L);
      break;
  }
}

// Run by lua_cpcall with the StatementResult, so that running out of memory
// while building the rows is an error code, not a jump over the caller's
// C++ frames. Leaves the array of rows at kRowsKey in the registry.
int pushRows(lua_State* L) {
  const auto* result = static_cast<const StatementResult*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  int columns = static_cast<int>(result->columns.size());
  luaL_checkstack(L, columns + 4, "too many columns");
  for (const std::string& name : result->columns) lua_pushlstring(L, name.data(), name.size());
  // Stack: the column names at 1..columns, then the array of rows.
  int rowCount = static_cast<int>(result->rowCount());
  lua_createtable(L, rowCount, 0);
  int rows = columns + 1;
  size_t at = 0;
  for (int r = 1; r <= rowCount; ++r) {
    lua_createtable(L, 0, columns);
    for (int c = 1; c <= columns; ++c) {
      const DbValue& value = result->values[at++];
      if (value.type == DbValue::Type::kNull) continue;  // a nil field is no field
      lua_pushvalue(L, c);
      pushValue(L, value);
      lua_rawset(L, -3);
    }
    lua_rawseti(L, rows, r);
  }
  lua_setfield(L, LUA_REGISTRYINDEX, kRowsKey);
  return 0;
}

// Checks the arguments and runs the statement; empty after printing the
// call's one line when it was refused or failed.
std::optional<StatementResult> runStatement(const ApiCall& call) {
  lua_State* L = call.state();
  if (lua_type(L, 1) != LUA_TSTRING) {
    call.refuse("Invalid argument #1.");
    return std::nullopt;
  }
  std::vector<DbValue> bindings;
  if (!readBindings(call, &bindings)) return std::nullopt;
  SessionContext* session = call.session();
  if (session == nullptr) {
    call.refuse("Database missing.");
    return std::nullopt;
  }
  size_t length = 0;
  const char* sql = lua_tolstring(L, 1, &length);
  StatementResult result = session->database().run(std::string_view(sql, length), bindings);
  if (result.error) {
    call.refuse(result.error->c_str());
    return std::nullopt;
  }
  return result;
}

}  // namespace

int dbExec(lua_State* L) {
  ApiCall call(L);
  std::optional<StatementResult> result = runStatement(call);
  if (!result) return 0;
  return call.pushNumber(static_cast<double>(result->changes));
}

int dbQuery(lua_State* L) {
  ApiCall call(L);
  int status = 0;
  {
    // The rows die before the Lua calls below, which may raise.
    std::optional<StatementResult> result = runStatement(call);
    if (!result) return 0;
    status = lua_cpcall(L, pushRows, &*result);
  }
  if (status != 0) {
    lua_pop(L, 1);  // the error message
    return call.refuse("not enough memory for the rows");
  }
  lua_getfield(L, LUA_REGISTRYINDEX, kRowsKey);
  lua_pushnil(L);
  lua_setfield(L, LUA_REGISTRYINDEX, kRowsKey);
  return 1;
}

}  // namespace gsadmin::api
