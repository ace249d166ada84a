// POST /api/appeals and GET /api/appeals/TOKEN on the public listener: a
// banned player's appeal, filed on the loop, and its state read back by
// the token it was answered with.

#include <algorithm>

#include "context/session_context.h"
#include "moderation/appeals.h"
#include "moderation/moderation.h"
#include "panel/login_throttle.h"
#include "panel/public_site.h"
#include "panel/web_context.h"
#include "panel/web_json.h"
#include "panel/web_sessions.h"

namespace gsadmin {
namespace {

using nlohmann::json;

constexpr size_t kMaxBanDigits = 18;

// "12" or "#12"; 0 when it is neither.
int64_t banNumberOf(std::string_view text) {
  if (text.starts_with('#')) text.remove_prefix(1);
  bool digits = !text.empty() && text.size() <= kMaxBanDigits &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  return digits ? std::stoll(std::string(text)) : 0;
}

// The fields of a JSON body; false when it is not an object of texts (the
// ban also a number).
bool jsonFields(const std::string& body, std::string* ban, AppealForm* form) {
  json value = json::parse(body, nullptr, false);
  if (!value.is_object()) return false;
  for (const char* key : {"ban", "name", "text"}) {
    if (!value.contains(key)) continue;
    const json& member = value[key];
    std::string* into = key[0] == 'b' ? ban : key[0] == 'n' ? &form->name : &form->text;
    if (key[0] == 'b' && member.is_number_integer()) {
      *ban = std::to_string(member.get<int64_t>());
    } else if (member.is_string()) {
      *into = member.get<std::string>();
    } else {
      return false;
    }
  }
  return true;
}

bool controlFree(std::string_view text, bool lineBreaks) {
  return std::none_of(text.begin(), text.end(), [lineBreaks](char c) {
    auto byte = static_cast<unsigned char>(c);
    bool lineBreak = c == '\n' || c == '\r' || c == '\t';
    return (byte < 0x20 && !(lineBreaks && lineBreak)) || byte == 0x7f;
  });
}

void answerFiled(PublicContext& context, httplib::Response& response, const AppealForm& form,
                 const std::string& token) {
  auto answer = std::make_shared<LoopAnswer>();
  SessionContext& session = context.session;
  std::string hash = appealTokenHash(token);
  std::optional<std::string> done = context.queue.call(
      [answer, &session, form, hash, token]() {
        Moderation* moderation = session.moderation();
        if (moderation == nullptr) {
          *answer = moderationOff();
          return std::string();
        }
        int64_t number = 0;
        std::string refusal = moderation->fileAppeal(form.ban, form.name, form.text, hash, &number);
        int status = refusal.starts_with("there is no") ? 404 : 409;
        *answer = refusal.empty() ? LoopAnswer{200, dump({{"token", token}})}
                                  : LoopAnswer{status, dump({{"error", refusal}})};
        return std::string();
      },
      kLoopAnswerTimeout);
  if (!done) return sendError(response, 503, "the client did not answer in time");
  response.status = answer->status;
  response.set_content(answer->body, "application/json");
}

ReadAnswer statusAnswer(ReadTools& tools, const std::string& hash) {
  bool failed = false;
  std::optional<AppealStatus> status = readAppealStatus(tools.database, hash, &failed);
  if (failed) return {503, dump({{"error", "the appeals cannot be read now"}})};
  if (!status) return {404, dump({{"error", "there is no appeal with that token"}})};
  return {200, dump({{"ban", status->sanction},
                     {"state", status->state},
                     {"reply", status->reply},
                     {"decided", status->decided ? json(*status->decided) : json(nullptr)}})};
}

}  // namespace

std::optional<AppealForm> appealFormOf(const httplib::Request& request, std::string* error) {
  AppealForm form;
  std::string ban;
  if (request.get_header_value("Content-Type").starts_with("application/json")) {
    if (!jsonFields(request.body, &ban, &form)) {
      *error = "an appeal is a JSON object of \"ban\", \"name\" and \"text\"";
      return std::nullopt;
    }
  } else {
    ban = request.get_param_value("ban");
    form.name = request.get_param_value("name");
    form.text = request.get_param_value("text");
  }
  form.ban = banNumberOf(ban);
  if (form.ban <= 0) {
    *error = "ban is the ban's number, such as 12";
  } else if (form.name.empty() || form.name.size() > kMaxNameBytes ||
             !controlFree(form.name, false)) {
    *error = "name is the banned name, of 1 to " + std::to_string(kMaxNameBytes) + " bytes";
  } else if (form.text.find_first_not_of(" \t\r\n") == std::string::npos ||
             characterCount(form.text) > Appeals::kMaxTextChars || !controlFree(form.text, true)) {
    *error = "text is needed, at most " + std::to_string(Appeals::kMaxTextChars) + " characters";
  } else {
    return form;
  }
  return std::nullopt;
}

void addPublicAppealRoutes(RouteTable& server, PublicContext& context) {
  server.post(
      "/api/appeals", [&context](const httplib::Request& request, httplib::Response& response) {
        response.set_header("Cache-Control", "no-store");
        std::string error;
        std::optional<AppealForm> form = appealFormOf(request, &error);
        if (!form) return sendError(response, 400, error);
        uint64_t wait = context.throttle.take(publicAddressKey(context, request), form->ban);
        if (wait > 0) {
          response.set_header("Retry-After", std::to_string(wait));
          return sendError(response, 429,
                           "too many appeals; try again in " + std::to_string(wait) + " s");
        }
        std::string token = randomToken();
        if (token.empty()) return sendError(response, 503, "no token can be made now");
        answerFiled(context, response, *form, token);
      });
  server.get(R"(/api/appeals/([0-9a-f]{64}))",
             [&context](const httplib::Request& request, httplib::Response& response) {
               std::string hash = appealTokenHash(request.matches[1].str());
               answerPublicRead(context, request, response,
                                [hash](ReadTools& tools) { return statusAnswer(tools, hash); });
             });
}

}  // namespace gsadmin
