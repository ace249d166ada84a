#include "commands/act.h"
#include "context/session_context.h"
#include "panel/password_hash.h"
#include "panel/second_factor.h"
#include "panel/web_actions.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

// What a login sends: the code may be absent (then empty).
struct Credentials {
  std::string name;
  std::string password;
  std::string code;  // a one-time or a recovery code
};

// The credentials of a JSON or a form body; false without a name and a
// password, or with a code that is not text.
bool credentialsOf(const httplib::Request& request, Credentials* credentials) {
  if (request.get_header_value("Content-Type").starts_with("application/json")) {
    json body = json::parse(request.body, nullptr, false);
    if (!body.is_object() || !body.contains("name") || !body.contains("password") ||
        !body["name"].is_string() || !body["password"].is_string() ||
        (body.contains("code") && !body["code"].is_string())) {
      return false;
    }
    credentials->name = body["name"].get<std::string>();
    credentials->password = body["password"].get<std::string>();
    if (body.contains("code")) credentials->code = body["code"].get<std::string>();
    return true;
  }
  if (!request.has_param("name") || !request.has_param("password")) return false;
  credentials->name = request.get_param_value("name");
  credentials->password = request.get_param_value("password");
  credentials->code = request.get_param_value("code");
  return true;
}

// The one answer of a wrong name, password or code, so that none tells
// which was wrong.
constexpr char kWrongLogin[] = "wrong name, password or code";

// How long a login waits for its password check. The checks ahead of it
// are few: the throttle bounds the tries, the pool the waiting ones.
constexpr std::chrono::milliseconds kCheckWait{5000};

// The id of the request's browser when it logged in to `name` before.
std::optional<std::string> knownDevice(WebContext& context, const httplib::Request& request,
                                       const std::string& name) {
  std::optional<std::string> cookie = cookieOf(request, kDeviceCookie);
  if (!cookie) return std::nullopt;
  return context.devices.deviceOf(*cookie, name, context.clock.wallSeconds());
}

// Checks `password` on the hashing pool: against the account's hash, or
// for a name without one against the decoy, so that a wrong name takes as
// long as a wrong password. A recovery code is checked in the same work,
// both hashings always run.
HashingPool::Outcome checkPassword(WebContext& context, const std::optional<PanelAccount>& account,
                                   const std::string& password, const SecondFactor& factor,
                                   bool urgent) {
  std::string encoded = account ? account->hash : context.decoyHash;
  std::string recoveryHash = factor.recovery ? factor.recoveryHash : "";
  std::string recovery = factor.recovery ? factor.recovery->canonical : "";
  bool real = factor.realRecovery;
  return context.hashing.run(
      [encoded, password, recoveryHash, recovery, real]() {
        bool right = verifyPassword(encoded, password);
        if (recoveryHash.empty()) return right;
        // The decoy's outcome is dropped: it only takes the time.
        bool recovered = verifyPassword(recoveryHash, recovery);
        return right && (recovered || !real);
      },
      urgent, kCheckWait);
}

std::string cookieAttributes(const WebContext& context) {
  return context.tls ? "; HttpOnly; SameSite=Strict; Secure" : "; HttpOnly; SameSite=Strict";
}

// The acts the panel offers, on a player or on a name, with the level
// each needs, as the table holds them: the page draws its buttons from
// them.
// For a login of a role, an act the role allows needs the login's level and
// one it does not a level above any.
json playerActsJson(const WebLogin& login) {
  json acts = json::array();
  for (const Act& act : allActs()) {
    if ((act.doors & kPanelDoor) == 0) continue;
    int level = act.level;
    if (login.grants) {
      level = permissionRefusal(act, panelActor(login)).empty() ? login.level : kOperatorLevel + 1;
    }
    acts.push_back({{"name", act.name}, {"level", level}});
  }
  return acts;
}

// The reads of the table the login may make through the panel: the page
// shows only their pages.
json readsJson(const WebLogin& login) {
  json reads = json::array();
  for (const Act& act : allActs()) {
    if (act.read && (!login.grants || login.grants->allows(act.name))) reads.push_back(act.name);
  }
  return reads;
}

json loginJson(const WebLogin& login) {
  json answer = {{"name", login.name},
                 {"level", login.level},
                 {"csrf", login.csrf},
                 {"acts", playerActsJson(login)},
                 {"reads", readsJson(login)}};
  if (login.grants) answer["role"] = login.grants->role;
  return answer;
}

// A new login of `account`, with its session cookie and a device cookie
// that lets this browser past the throttle of strangers from now on.
void admit(WebContext& context, const PanelAccount& account, const httplib::Request& request,
           httplib::Response& response) {
  LoginOrigin origin{request.remote_addr, request.get_header_value("User-Agent")};
  std::optional<WebLogin> login = context.sessions.create(account.name, account.level, origin,
                                                          grantsHere(context, account.grants));
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

// Tells the operator, on the loop, of a recovery code used but left in the
// users file: it would work again after a restart.
void warnUnstruck(WebContext& context, const std::string& name, int slot,
                  const std::string& reason) {
  std::string line = "gsadmin: --http-users: " + name + " used recovery code " +
                     std::to_string(slot) + ", not struck out of the file (" + reason +
                     "): it works again after a restart; enrol " + name + " anew";
  SessionContext& session = context.session;
  context.queue.post(
      [&session, line]() {
        session.console().errorLine(line);
        return std::string();
      },
      context.clock.nowMs() + kLoopAnswerTimeout.count());
}

// Answers a login whose password (and recovery code, when it gave one)
// proved right but that its second factor kept out; false when it may go
// in. The try stays counted for a wrong or replayed code.
bool keptOut(WebContext& context, const PanelAccount& account, const SecondFactor& factor,
             const LoginSlot& slot, httplib::Response& response) {
  std::string error;
  switch (settleSecondFactor(context.accounts, account, factor, factor.realRecovery,
                             context.requireTotpLevel, &error)) {
    case FactorVerdict::kAdmit:
      if (!error.empty()) warnUnstruck(context, account.name, factor.recovery->slot, error);
      return false;
    case FactorVerdict::kRefuse:
      sendError(response, 401, kWrongLogin);
      return true;
    case FactorVerdict::kNeedsEnrolment:
      sendError(response, 403,
                "this account must log in with a one-time code: enrol it with gsadmin "
                "--enroll-totp");
      // Its password was right: the try does not count.
      context.throttle.giveBack(slot);
      return true;
  }
  return true;
}

void logIn(WebContext& context, const httplib::Request& request, httplib::Response& response) {
  Credentials credentials;
  if (!credentialsOf(request, &credentials)) {
    sendError(response, 400, "a login needs a name and a password");
    return;
  }
  const std::string& name = credentials.name;
  std::optional<PanelAccount> account = context.accounts.find(name);
  std::optional<std::string> device = knownDevice(context, request, name);
  // Counted before the hashing, so that parallel tries cannot pass the limit.
  std::optional<LoginSlot> slot =
      context.throttle.reserve({name, account.has_value(), request.remote_addr, device});
  if (!slot) {
    sendError(response, 429, "too many failed logins; try again in a minute");
    return;
  }
  SecondFactor factor =
      readSecondFactor(account, credentials.code, context.clock.wallSeconds(), context.decoyHash);
  HashingPool::Outcome outcome =
      checkPassword(context, account, credentials.password, factor, device.has_value());
  if (outcome == HashingPool::Outcome::kNotRun || outcome == HashingPool::Outcome::kTooLate) {
    if (outcome == HashingPool::Outcome::kNotRun) context.throttle.giveBack(*slot);
    sendError(response, 503, "too many logins at once; try again");
    return;
  }
  // A wrong recovery code fails the check as a wrong password does.
  if (outcome != HashingPool::Outcome::kTrue || !account) {
    sendError(response, 401, kWrongLogin);
    return;
  }
  if (keptOut(context, *account, factor, *slot, response)) return;
  context.throttle.giveBack(*slot);
  admit(context, *account, request, response);
}

}  // namespace

std::shared_ptr<const ActGrants> grantsHere(const WebContext& context,
                                            const std::shared_ptr<const ActGrants>& grants) {
  if (!grants || grants->reaches(context.recordsServer)) return grants;
  auto none = std::make_shared<ActGrants>();
  none->role = grants->role;
  return none;
}

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

std::optional<WebLogin> requireReader(WebContext& context, const httplib::Request& request,
                                      httplib::Response& response, std::string_view read) {
  std::optional<WebLogin> login = requireLogin(context, request, response, false);
  if (!login || !login->grants || login->grants->allows(read)) return login;
  sendError(response, 403,
            "the role " + login->grants->role + " may not read " + std::string(read));
  return std::nullopt;
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
