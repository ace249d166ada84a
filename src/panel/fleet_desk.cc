#include "panel/fleet_desk.h"

#include <set>
#include <vector>

#include "console/printable.h"
#include "context/session_context.h"
#include "moderation/moderation.h"
#include "panel/web_actions.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

bool finished(const FleetAnswer& answer) {
  return answer.state != "waiting" && answer.state != "running";
}

}  // namespace

void FleetWait::give(FleetAnswer answer) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = std::move(answer);
  }
  given_.notify_all();
}

std::optional<FleetAnswer> FleetWait::waitFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  given_.wait_for(lock, timeout, [this]() { return answer_.has_value(); });
  return answer_;
}

FleetDesk::FleetDesk(SessionContext& session, TypedLineRunner runTypedLine)
    : session_(session), runTypedLine_(std::move(runTypedLine)) {}

RecordStore* FleetDesk::store() {
  Moderation* moderation = session_.moderation();
  if (moderation == nullptr || !moderation->store().shared()) return nullptr;
  Database& database = moderation->store().database();
  // A script's transaction would hold the request's rows and notices back.
  if (!database.connected() || database.inTransaction()) return nullptr;
  return &moderation->store();
}

void FleetDesk::noticed(const DatabaseEvents& events) {
  RecordStore* records = store();
  if (records == nullptr) return;
  bool requests = events.connected, answers = events.connected;
  for (const DatabaseNotice& notice : events.notices) {
    if (notice.channel != kChangesChannel) continue;
    requests = requests || notice.payload == kRequestNotice + records->serverName();
    answers = answers || notice.payload == kAnswerNotice + records->serverName();
  }
  if (requests) carryOutRequests();
  if (answers) collectAnswers();
}

void FleetDesk::tick() {
  RecordStore* records = store();
  if (records == nullptr) return;
  int64_t now = session_.moderation()->now();
  if (now < nextScan_) return;
  nextScan_ = now + kHeartbeatSeconds;
  carryOutRequests();
  if (!waits_.empty()) collectAnswers();
}

void FleetDesk::carryOutRequests() {
  if (store() == nullptr) return;
  RecordStore& records = *store();
  const std::string here = records.serverName();
  int64_t now = session_.moderation()->now();
  for (const FleetRequest& request : takeFleetRequests(records, here, now)) {
    std::optional<Actor> actor = actorOf(request.actor, request.origin, here);
    json body = json::parse(request.act, nullptr, false);
    std::string error;
    std::optional<WebAction> action = parseWebAction(body, &error);
    if (!actor || !action) {
      answerFleet(records, request, "refused", actor ? error : "the request names no account", now);
      continue;
    }
    if (action->kind == "command") {
      answerFleet(records, request, "refused", kRemoteCommandRefusal, now);
      continue;
    }
    // The same act as this client's own panel carries out.
    std::string outcome = carryOutWebAction(session_, *actor, *action, runTypedLine_);
    // A console line may have begun a script's transaction, which would
    // hold the answer back: the panel that asked then says it had none.
    if (store() == nullptr) continue;
    if (outcome.empty()) {
      answerFleet(records, request, "done", action->kind + " done on " + here, now);
    } else if (outcome[0] == kDoneNoteMark) {
      answerFleet(records, request, "done", outcome.substr(1), now);
    } else {
      answerFleet(records, request, "refused", outcome, now);
    }
  }
}

void FleetDesk::collectAnswers() {
  RecordStore* records = store();
  if (records == nullptr) return;
  for (auto it = waits_.begin(); it != waits_.end();) {
    std::shared_ptr<FleetWait> wait = it->second.lock();
    std::optional<FleetAnswer> answer = wait ? fleetAnswer(*records, it->first) : std::nullopt;
    if (wait && (!answer || !finished(*answer))) {
      ++it;
      continue;
    }
    // Given, or nobody waits any more.
    if (wait) wait->give(*answer);
    it = waits_.erase(it);
  }
}

std::string FleetDesk::ask(const std::string& server, const WebLogin& login,
                           const std::string& action, std::shared_ptr<FleetWait> wait) {
  RecordStore* records = store();
  if (records == nullptr) return "cannot reach the fleet: the database is away";
  int64_t now = session_.moderation()->now();
  std::string refusal = fleetRefusal(*records, server, now);
  if (!refusal.empty()) return refusal;
  FleetRequest request{0, now, server, records->serverName(), actorText(login), action};
  std::optional<int64_t> id = askFleet(*records, request, &refusal);
  if (!id) return refusal;
  waits_[*id] = wait;
  return "";
}

std::string FleetDesk::actorText(const WebLogin& login) {
  json actor = {{"name", login.name}, {"level", login.level}, {"token", login.tokenLabel}};
  if (login.grants) {
    actor["role"] = {{"name", login.grants->role},
                     {"acts", login.grants->acts},
                     {"tempban", login.grants->maxTempbanSeconds},
                     {"servers", login.grants->servers}};
  }
  return dump(actor);
}

std::optional<Actor> FleetDesk::actorOf(const std::string& text, const std::string& origin,
                                        const std::string& here) {
  json actor = json::parse(text, nullptr, false);
  if (!actor.is_object() || !actor.contains("name") || !actor["name"].is_string() ||
      !actor.contains("level") || !actor["level"].is_number_integer()) {
    return std::nullopt;
  }
  Actor result;
  result.kind = Actor::Kind::kPanel;
  result.name = actor["name"].get<std::string>();
  result.level = actor["level"].get<int>();
  result.fromServer = origin;
  if (actor.contains("token") && actor["token"].is_string()) {
    result.token = actor["token"].get<std::string>();
  }
  if (!actor.contains("role")) return result;
  try {
    const json& role = actor["role"];
    auto grants = std::make_shared<ActGrants>();
    grants->role = role.value("name", std::string());
    // A role scoped to other servers does nothing here, as a login here.
    std::vector<std::string> servers = role.value("servers", std::vector<std::string>());
    grants->servers = servers;
    if (grants->reaches(here)) {
      grants->acts = role.value("acts", std::set<std::string>());
      grants->maxTempbanSeconds = role.value("tempban", int64_t{0});
    }
    result.grants = std::move(grants);
  } catch (const json::exception&) {
    return std::nullopt;  // a role of the wrong shape: no rights at all
  }
  return result;
}

}  // namespace gsadmin
