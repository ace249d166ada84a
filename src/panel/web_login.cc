#include "commands/act.h"
#include "panel/password_hash.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

// Name and password of a JSON or a form body.
bool credentialsOf(const httplib::Request& request, std::string* name, std::string* password) {
  if (request.get_header_value("Content-Type").starts_with("application/json")) {
    json body = json::parse(request.body, nullptr, false);
    if (!body.is_object() || !body.contains("name") || !body.contains("password") ||
        !body["name"].is_string() || !body["password"].is_string()) {
      return false;
    }
    *name = body["name"].get<std::string>();
    *password = body["password"].get<std::string>();
    return true;
  }
  if (!request.has_param("name") || !request.has_param("password")) return false;
  *name = request.get_param_value("name");
  *password = request.get_param_value("password");
  return true;
}

// How long a login waits for its password check. The checks ahead of it
// are few: the throttle bounds the tries, the pool the waiting ones.
constexpr std::chrono::milliseconds kCheckWait{5000};

const PanelAccount* accountNamed(const WebContext& context, const std::string& name) {
  const PanelAccount* found = nullptr;
  for (const PanelAccount& account : context.accounts) {
    if (account.name == name) found = &account;
  }
  return found;
}

// The id of the request's browser when it logged in to `name` before.
std::optional<std::string> knownDevice(WebContext& context, const httplib::Request& request,
                                       const std::string& name) {
  std::optional<std::string> cookie = cookieOf(request, kDeviceCookie);
  if (!cookie) return std::nullopt;
  return context.devices.deviceOf(*cookie, name, context.clock.wallSeconds());
}

// Checks `password` on the hashing pool: against the account's hash, or
// for a name without one against the decoy, so that a wrong name takes as
// long as a wrong password.
HashingPool::Outcome checkPassword(WebContext& context, const PanelAccount* account,
                                   const std::string& password, bool urgent) {
  std::string encoded = account ? account->hash : context.decoyHash;
  return context.hashing.run([encoded, password]() { return verifyPassword(encoded, password); },
                             urgent, kCheckWait);
}

std::string cookieAttributes(const WebContext& context) {
  return context.tls ? "; HttpOnly; SameSite=Strict; Secure" : "; HttpOnly; SameSite=Strict";
}

// The acts the panel offers, on a player or on a name, with the level
// each needs, as the table holds them: the page draws its buttons from
// them.
json playerActsJson() {
  json acts = json::array();
  for (const Act& act : allActs()) {
    if ((act.doors & kPanelDoor) != 0) {
      acts.push_back({{"name", act.name}, {"level", act.level}});
    }
  }
  return acts;
}

json loginJson(const WebLogin& login) {
  return {{"name", login.name},
          {"level", login.level},
          {"csrf", login.csrf},
          {"acts", playerActsJson()}};
}

// A new login of `account`, with its session cookie and a device cookie
// that lets this browser past the throttle of strangers from now on.
void admit(WebContext& context, const PanelAccount& account, httplib::Response& response) {
  std::optional<WebLogin> login = context.sessions.create(account.name, account.level);
  if (!login) {
    sendError(response, 500, "no randomness for a session");
    return;
  }
  response.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + login->token + "; Path=/" +
                                        cookieAttributes(context));
  std::optional<std::string> device =
      context.devices.issue(account.name, context.clock.wallSeconds());
  if (device) {
    response.set_header("Set-Cookie", std::string(kDeviceCookie) + "=" + *device +
                                          "; Path=/api/login; Max-Age=" +
                                          std::to_string(DeviceCookies::kLifetimeSeconds) +
                                          cookieAttributes(context));
  }
  sendJson(response, 200, loginJson(*login));
}

void logIn(WebContext& context, const httplib::Request& request, httplib::Response& response) {
  std::string name, password;
  if (!credentialsOf(request, &name, &password)) {
    sendError(response, 400, "a login needs a name and a password");
    return;
  }
  const PanelAccount* account = accountNamed(context, name);
  std::optional<std::string> device = knownDevice(context, request, name);
  // Counted before the hashing, so that parallel tries cannot pass the limit.
  std::optional<LoginSlot> slot =
      context.throttle.reserve({name, account != nullptr, request.remote_addr, device});
  if (!slot) {
    sendError(response, 429, "too many failed logins; try again in a minute");
    return;
  }
  HashingPool::Outcome outcome = checkPassword(context, account, password, device.has_value());
  if (outcome == HashingPool::Outcome::kNotRun || outcome == HashingPool::Outcome::kTooLate) {
    if (outcome == HashingPool::Outcome::kNotRun) context.throttle.giveBack(*slot);
    sendError(response, 503, "too many logins at once; try again");
    return;
  }
  if (outcome != HashingPool::Outcome::kTrue || account == nullptr) {
    sendError(response, 401, "wrong name or password");
    return;
  }
  context.throttle.giveBack(*slot);
  admit(context, *account, response);
}

}  // namespace

void sendJson(httplib::Response& response, int status, const json& value) {
  response.status = status;
  response.set_header("Cache-Control", "no-store");
  response.set_content(dump(value), "application/json");
}

void sendError(httplib::Response& response, int status, std::string_view message) {
  sendJson(response, status, {{"error", std::string(message)}});
}

std::optional<std::string> cookieOf(const httplib::Request& request, std::string_view name) {
  std::string header = request.get_header_value("Cookie");
  std::string_view rest = header;
  while (!rest.empty()) {
    size_t end = rest.find(';');
    std::string_view pair = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=') {
      return std::string(pair.substr(name.size() + 1));
    }
  }
  return std::nullopt;
}

std::optional<WebLogin> requireLogin(WebContext& context, const httplib::Request& request,
                                     httplib::Response& response, bool changesState) {
  if (request.has_header("Authorization")) {
    return tokenLogin(context, request, response, changesState);
  }
  std::optional<std::string> token = cookieOf(request, kSessionCookie);
  std::optional<WebLogin> login = token ? context.sessions.find(*token) : std::nullopt;
  if (!login) {
    sendError(response, 401, "log in first");
    return std::nullopt;
  }
  if (changesState && !sameSecret(request.get_header_value(kCsrfHeader), login->csrf)) {
    sendError(response, 403, "missing or wrong CSRF token");
    return std::nullopt;
  }
  return login;
}

void addLoginRoutes(RouteTable& server, WebContext& context) {
  server.post("/api/login",
              [&context](const httplib::Request& request, httplib::Response& response) {
                logIn(context, request, response);
              });
  server.post(
      "/api/logout", [&context](const httplib::Request& request, httplib::Response& response) {
        std::optional<WebLogin> login = requireLogin(context, request, response, true);
        if (!login) return;
        context.sessions.remove(login->token);
        response.set_header("Set-Cookie", std::string(kSessionCookie) +
                                              "=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0");
        sendJson(response, 200, {{"ok", true}});
      });
  server.get("/api/session",
             [&context](const httplib::Request& request, httplib::Response& response) {
               std::optional<WebLogin> login = requireLogin(context, request, response, false);
               if (login) sendJson(response, 200, loginJson(*login));
             });
}

}  // namespace gsadmin
