// GET /api/rules: the moderation rules in force and how often each matched
// in the last hour, as the console's ".rules" lists them. The rules live in
// the session, so the answer is made on the loop.

#include "context/rule_control.h"
#include "context/session_context.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

nlohmann::json rulesJson(RuleControl* control) {
  nlohmann::json rules = nlohmann::json::array();
  if (control != nullptr) {
    for (const RuleSummary& rule : control->summary()) {
      rules.push_back({{"name", rule.name},
                       {"kind", rule.kind},
                       {"acts", rule.acts},
                       {"matchesLastHour", rule.matchesLastHour}});
    }
  }
  return {{"rules", std::move(rules)}, {"loaded", control != nullptr}};
}

}  // namespace

void addRulesRoute(RouteTable& server, WebContext& context) {
  server.get("/api/rules",
             [&context](const httplib::Request& request, httplib::Response& response) {
               if (!requireReader(context, request, response, "rules")) return;
               SessionContext& session = context.session;
               answerFromLoop(context, response, [&session]() -> LoopAnswer {
                 return {200, dump(rulesJson(session.ruleControl()))};
               });
             });
}

}  // namespace gsadmin
