// httpRequest: starts an HTTP request the session's loop carries on; its
// result comes back as a call of the script's handler.

#include <cctype>
#include <optional>
#include <string>
#include <string_view>

#include "context/session_context.h"
#include "requests/http_client.h"
#include "script/api_args.h"
#include "script/api_functions.h"
#include "script/lua.h"

namespace gsadmin::api {
namespace {

// A string argument, never a number converted in place (which allocates).
std::optional<std::string_view> stringAt(lua_State* L, int index) {
  if (lua_type(L, index) != LUA_TSTRING) return std::nullopt;
  size_t length = 0;
  const char* data = lua_tolstring(L, index, &length);
  return std::string_view(data, length);
}

// Reads the headers table at `index` (nil: none): strings to strings only.
// Neither lua_next nor reading a string allocates, so nothing here raises.
bool readHeaders(lua_State* L, int index, std::vector<HttpHeader>* headers) {
  if (lua_isnoneornil(L, index)) return true;
  if (!lua_istable(L, index)) return false;
  lua_pushnil(L);                    // [..., key]
  while (lua_next(L, index) != 0) {  // [..., key, value]
    std::optional<std::string_view> name = stringAt(L, -2);
    std::optional<std::string_view> value = stringAt(L, -1);
    if (!name || !value || headers->size() > HttpClient::kMaxHeaders) {
      lua_pop(L, 2);
      return false;
    }
    headers->push_back({std::string(*name), std::string(*value)});
    lua_pop(L, 1);  // [..., key]
  }
  return true;
}

// Reads the call into *request; 0 when done, else the bad argument.
int readRequest(lua_State* L, HttpRequest* request) {
  std::optional<std::string_view> method = stringAt(L, 1);
  if (!method) return 1;
  std::optional<std::string_view> url = stringAt(L, 2);
  if (!url) return 2;
  std::optional<std::string_view> body = stringAt(L, 3);
  if (!body && !lua_isnoneornil(L, 3)) return 3;
  if (!readHeaders(L, 4, &request->headers)) return 4;
  std::optional<std::string_view> handler = stringAt(L, 5);
  if (!handler || handler->empty() || handler->size() > ApiCall::kMaxNameBytes) return 5;
  request->method.assign(method->data(), method->size());
  for (char& c : request->method)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  request->url.assign(url->data(), url->size());
  if (body) request->body.emplace(body->data(), body->size());
  request->handler.assign(handler->data(), handler->size());
  return 0;
}

// The request's id, or 0 after printing the refusal.
int32_t startRequest(const ApiCall& call) {
  HttpRequest request;
  if (int bad = readRequest(call.state(), &request); bad != 0) {
    call.refuse(("Invalid argument #" + std::to_string(bad) + ".").c_str());
    return 0;
  }
  SessionContext* session = call.session();
  if (session == nullptr) {
    call.refuse("no session");
    return 0;
  }
  request.owner = call.scriptId();
  HttpClient::Started started = session->http().start(std::move(request));
  if (started.id == 0) call.refuse(started.refusal.c_str());
  return started.id;
}

}  // namespace

int httpRequest(lua_State* L) {
  ApiCall call(L);
  int32_t id = startRequest(call);  // its C++ objects are gone before the push
  return id == 0 ? 0 : call.pushInteger(id);
}

}  // namespace gsadmin::api
