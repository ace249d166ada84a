// The API tokens at the panel's door: a request with "Authorization:
// Bearer TOKEN" acts as the token's account within its scope, and level 4
// lists and revokes the tokens (GET /api/tokens, POST /api/tokens/revoke).

#include <algorithm>

#include "context/session_context.h"
#include "moderation/moderation.h"
#include "panel/web_actions.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

constexpr std::string_view kBearer = "Bearer ";

json tokenJson(const ApiToken& token) {
  return {{"label", token.label},
          {"account", token.account},
          {"scope", tokenScopeName(token.scope)},
          {"created", token.created},
          {"expires", token.expires == 0 ? json(nullptr) : json(token.expires)}};
}

// The login of a request that may manage tokens: level 4, and a token's
// scope admin; else answered 401 or 403.
std::optional<WebLogin> requireTokenAdmin(WebContext& context, const httplib::Request& request,
                                          httplib::Response& response, bool changesState) {
  std::optional<WebLogin> login = requireLogin(context, request, response, changesState);
  if (!login) return std::nullopt;
  if (login->level < kOperatorLevel || (login->scope && *login->scope != TokenScope::kAdmin)) {
    sendError(response, 403, "managing tokens needs level 4");
    return std::nullopt;
  }
  if (!context.tokens) {
    sendError(response, 503, "the panel has no tokens file");
    return std::nullopt;
  }
  return login;
}

void revoke(WebContext& context, const WebLogin& login, const httplib::Request& request,
            httplib::Response& response) {
  json body = json::parse(request.body, nullptr, false);
  if (!body.is_object() || !body.contains("label") || !body["label"].is_string()) {
    sendError(response, 400, "a revocation needs \"label\"");
    return;
  }
  std::string label = body["label"].get<std::string>();
  std::string error;
  if (!context.tokens->revoke(label, &error)) {
    sendError(response, 409, error);
    return;
  }
  SessionContext& session = context.session;
  Actor actor = panelActor(login);
  answerFromLoop(context, response, [&session, actor, label]() -> LoopAnswer {
    if (Moderation* moderation = session.moderation()) {
      moderation->auditAct(actor, "token revoke", "", label);
    }
    return {200, dump({{"ok", true}})};
  });
}

}  // namespace

std::optional<WebLogin> tokenLogin(WebContext& context, const httplib::Request& request,
                                   httplib::Response& response, bool changesState) {
  std::string header = request.get_header_value("Authorization");
  std::optional<ApiToken> token;
  if (context.tokens && header.starts_with(kBearer)) {
    token = context.tokens->find(std::string_view(header).substr(kBearer.size()));
  }
  std::optional<PanelAccount> account =
      token ? context.accounts.find(token->account) : std::nullopt;
  if (!token || !account) {
    sendError(response, 401, "an unknown or expired token");
    return std::nullopt;
  }
  if (changesState && token->scope == TokenScope::kRead) {
    sendError(response, 403, "this token may only read");
    return std::nullopt;
  }
  int level = account->level;
  if (token->scope == TokenScope::kAct) level = std::min(level, kSeniorLevel);
  std::shared_ptr<const ActGrants> grants = grantsHere(context, account->grants);
  if (grants && token->scope == TokenScope::kAct && grants->allows("command")) {
    auto narrowed = std::make_shared<ActGrants>(*grants);
    narrowed->acts.erase("command");
    grants = std::move(narrowed);
  }
  return WebLogin{
      "token:" + token->label, "", account->name, level, token->label, token->scope, grants};
}

void addTokenRoutes(RouteTable& server, WebContext& context) {
  server.get("/api/tokens",
             [&context](const httplib::Request& request, httplib::Response& response) {
               if (!requireTokenAdmin(context, request, response, false)) return;
               json list = json::array();
               for (const ApiToken& token : context.tokens->list())
                 list.push_back(tokenJson(token));
               sendJson(response, 200, {{"tokens", std::move(list)}});
             });
  server.post("/api/tokens/revoke",
              [&context](const httplib::Request& request, httplib::Response& response) {
                std::optional<WebLogin> login = requireTokenAdmin(context, request, response, true);
                if (login) revoke(context, *login, request, response);
              });
}

}  // namespace gsadmin
