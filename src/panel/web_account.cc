// The account's own logins: GET /api/sessions lists them (where from, which
// browser, when last seen) and POST /api/sessions/end ends one, so that a
// login left open elsewhere can be closed from here.

#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

json sessionJson(const SessionView& view, const WebLogin& asker) {
  return {{"id", view.id},
          {"address", view.origin.address},
          {"browser", view.origin.browser},
          {"started", view.started},
          {"lastSeen", view.lastSeen},
          {"current", view.token == asker.token}};
}

}  // namespace

void addAccountRoutes(RouteTable& server, WebContext& context) {
  server.get("/api/sessions",
             [&context](const httplib::Request& request, httplib::Response& response) {
               std::optional<WebLogin> login = requireLogin(context, request, response, false);
               if (!login) return;
               json list = json::array();
               for (const SessionView& view : context.sessions.list(login->name)) {
                 list.push_back(sessionJson(view, *login));
               }
               sendJson(response, 200, {{"sessions", std::move(list)}});
             });
  server.post("/api/sessions/end",
              [&context](const httplib::Request& request, httplib::Response& response) {
                std::optional<WebLogin> login = requireLogin(context, request, response, true);
                if (!login) return;
                json body = json::parse(request.body, nullptr, false);
                if (!body.is_object() || !body.contains("id") || !body["id"].is_string()) {
                  return sendError(response, 400, "ending a login needs \"id\"");
                }
                if (!context.sessions.removeById(login->name, body["id"].get<std::string>())) {
                  return sendError(response, 404, "the account has no such login");
                }
                sendJson(response, 200, {{"ok", true}});
              });
}

}  // namespace gsadmin
