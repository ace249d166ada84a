#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "context/session_context.h"
#include "model/server_info.h"
#include "script/api_args.h"
#include "script/api_functions.h"

namespace gsadmin::api {
namespace {

// The tokens of `text`: every character of `separators` ends a token, runs
// of separators count as one, and no token is empty. An empty separator set
// makes the whole text one token. No limit on either count. Returns how
// many there are and sets *wanted to the one at `entry` (0-based), if any;
// nothing is allocated.
size_t findToken(std::string_view text, std::string_view separators, size_t entry,
                 std::optional<std::string_view>* wanted) {
  size_t count = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t start = text.find_first_not_of(separators, at);
    if (start == std::string_view::npos) break;
    size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) end = text.size();
    if (count++ == entry) *wanted = text.substr(start, end - start);
    at = end;
  }
  return count;
}

// The session's settings, or null when no session is set; the session
// getters then answer nil, false or 0.
const SessionSettings* settingsOf(const ApiCall& call) {
  SessionContext* session = call.session();
  return session ? &session->settings() : nullptr;
}

int pushSetting(const ApiCall& call, std::string SessionSettings::*field) {
  const SessionSettings* settings = settingsOf(call);
  return settings ? call.pushText(settings->*field) : call.pushNil();
}

// The server record, or null after printing "No data.".
const ServerInfo* serverInfo(const ApiCall& call) {
  SessionContext* session = call.session();
  const ServerInfo* info = session ? &session->serverInfo() : nullptr;
  if (info == nullptr) call.refuse("No data.");
  return info;
}

}  // namespace

int gettok(lua_State* L) {
  ApiCall call(L);
  if (call.argumentCount() < 2) return 0;
  if (!call.isString(1)) return call.refuse("Invalid argument #1.");
  if (!call.isNumber(2)) return call.refuse("Invalid argument #2.");
  if (!call.isString(3)) return call.refuse("Invalid argument #3.");

  // Views into the arguments, taken before anything else (converting a
  // number may raise): nothing here owns memory that a raise would leak.
  std::string_view text = call.cTextView(1);
  std::string_view separators = call.cTextView(3);
  double index = call.number(2);
  if (std::isnan(index) || index < 0) return call.pushNil();
  // 0 <= index here; an index past the tokens finds none.
  size_t entry = index < 1e18 ? static_cast<size_t>(index) : SIZE_MAX;
  std::optional<std::string_view> token;
  findToken(text, separators, entry, &token);
  return token ? call.pushText(*token) : call.pushNil();
}

int getAdminName(lua_State* L) {
  return pushSetting(ApiCall(L), &SessionSettings::adminName);
}

int getAdminPassword(lua_State* L) {
  return pushSetting(ApiCall(L), &SessionSettings::adminPassword);
}

int getServerIP(lua_State* L) {
  return pushSetting(ApiCall(L), &SessionSettings::serverIP);
}

int isConnected(lua_State* L) {
  ApiCall call(L);
  SessionContext* session = call.session();
  return call.pushBoolean(session != nullptr && session->connected());
}

int getServerPort(lua_State* L) {
  ApiCall call(L);
  const SessionSettings* settings = settingsOf(call);
  return call.pushNumber(settings ? settings->serverPort : 0);
}

int getServerName(lua_State* L) {
  ApiCall call(L);
  const ServerInfo* info = serverInfo(call);
  return info ? call.pushText(info->name) : 0;
}

int getServerMOTD(lua_State* L) {
  ApiCall call(L);
  const ServerInfo* info = serverInfo(call);
  return info ? call.pushText(info->motd) : 0;
}

int getServerGame(lua_State* L) {
  ApiCall call(L);
  const ServerInfo* info = serverInfo(call);
  return info ? call.pushInteger(info->gameCode) : 0;
}

int getServerGameMode(lua_State* L) {
  ApiCall call(L);
  const ServerInfo* info = serverInfo(call);
  return info ? call.pushInteger(info->gameMode) : 0;
}

int getServerMaxPlayers(lua_State* L) {
  ApiCall call(L);
  const ServerInfo* info = serverInfo(call);
  return info ? call.pushInteger(info->maxPlayers) : 0;
}

}  // namespace gsadmin::api
