#include "script/api_invoker.h"

#include "script/lua.h"

namespace gsadmin {
namespace {

struct InvokeRequest {
  SessionContext* session;
  lua_CFunction body;
  std::span<const ScriptArgument> arguments;
};

// Runs inside the protected call: [InvokeRequest*] -> pushes the function
// and its arguments and calls it; every allocation happens in here.
int invoke(lua_State* L) {
  const auto* request = static_cast<const InvokeRequest*>(lua_touserdata(L, 1));
  lua_settop(L, 0);
  bindState(L, request->session, nullptr);
  lua_pushcfunction(L, request->body);
  for (const ScriptArgument& argument : request->arguments) {
    if (argument.isText) {
      lua_pushlstring(L, argument.text.data(), argument.text.size());
    } else {
      lua_pushinteger(L, argument.integer);
    }
  }
  lua_call(L, static_cast<int>(request->arguments.size()), 0);
  return 0;
}

}  // namespace

bool ApiInvoker::call(lua_CFunction body, std::span<const ScriptArgument> arguments) {
  if (!state_) state_.reset(luaL_newstate());
  lua_State* L = state_.get();
  if (L == nullptr) return false;
  InvokeRequest request{session_, body, arguments};
  int status = lua_cpcall(L, invoke, &request);
  lua_settop(L, 0);
  return status == 0;
}

}  // namespace gsadmin
