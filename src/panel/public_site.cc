// The public listener's page and ban record: what anybody may see of a
// ban, read on threads of the listener's own.

#include "panel/public_site.h"

#include <algorithm>

#include "moderation/record_store.h"
#include "panel/assets.h"
#include "panel/login_throttle.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

using nlohmann::json;

// The page's files, embedded with the panel's under a prefix of their
// own (kPublicAssetPrefix: never served by the panel), and the route
// patterns they have here.
constexpr std::pair<const char*, const char*> kPublicFiles[] = {
    {"public-index.html", "/"},
    {"public-app.js", R"(/public\.js)"},
    {"public-app.css", R"(/public\.css)"},
    {"public-openapi.json", R"(/api/openapi\.json)"},
};

void servePage(RouteTable& server) {
  for (const auto& file : kPublicFiles) {
    const char* name = file.first;
    auto asset = std::find_if(panelAssets().begin(), panelAssets().end(),
                              [name](const PanelAsset& a) { return a.name == name; });
    if (asset == panelAssets().end()) continue;
    const PanelAsset* found = &*asset;
    server.get(file.second, [found](const httplib::Request&, httplib::Response& response) {
      response.set_header("Cache-Control", "no-cache");
      response.set_content(found->content.data(), found->content.size(), std::string(found->type));
    });
  }
}

ReadAnswer bansAnswer(const std::optional<std::vector<PublicBan>>& bans) {
  if (!bans) return {503, dump({{"error", "the ban record cannot be read now"}})};
  json list = json::array();
  for (const PublicBan& ban : *bans) list.push_back(publicBanJson(ban));
  return {200, dump({{"bans", std::move(list)}})};
}

void addBanRoutes(RouteTable& server, PublicContext& context) {
  server.get("/api/bans", [&context](const httplib::Request& request, httplib::Response& response) {
    std::string name = request.get_param_value("name");
    bool clean = std::none_of(name.begin(), name.end(),
                              [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    if (!clean || name.empty() || name.size() > kMaxNameBytes) {
      sendError(response, 400,
                "name is a player's name of 1 to " + std::to_string(kMaxNameBytes) + " bytes");
      return;
    }
    answerPublicRead(context, request, response, [name](ReadTools& tools) {
      return bansAnswer(publicBansOf(tools.database, name));
    });
  });
  server.get(R"(/api/bans/(\d{1,18}))",
             [&context](const httplib::Request& request, httplib::Response& response) {
               int64_t id = std::stoll(request.matches[1]);
               answerPublicRead(context, request, response, [id](ReadTools& tools) -> ReadAnswer {
                 std::optional<std::vector<PublicBan>> ban = publicBan(tools.database, id);
                 if (ban && ban->empty()) {
                   return {404, dump({{"error", "there is no ban #" + std::to_string(id)}})};
                 }
                 if (!ban) return bansAnswer(ban);
                 return {200, dump(publicBanJson(ban->front()))};
               });
             });
}

}  // namespace

std::unique_ptr<PublicReads> makePublicReads(Clock& clock, const Database& database) {
  std::vector<std::unique_ptr<Database>> connections;
  for (size_t i = 0; i < PublicReads::kReaders; ++i) {
    std::unique_ptr<Database> connection =
        database.readOnlyConnection(static_cast<uint64_t>(PublicReads::kBudget.count()));
    if (!connection) return nullptr;
    connections.push_back(std::move(connection));
  }
  return std::make_unique<PublicReads>(clock, std::move(connections));
}

ServerLimits publicLimits() {
  ServerLimits limits;
  limits.maxConnections = 256;
  limits.maxPerAddress = 16;
  limits.maxHeaderBytes = 16 * 1024;
  // An appeal's 2 000 characters, each up to 4 bytes and escaped in a form.
  limits.maxBodyBytes = 32 * 1024;
  limits.idle = std::chrono::milliseconds(5000);
  limits.headers = std::chrono::milliseconds(5000);
  limits.body = std::chrono::milliseconds(5000);
  limits.answer = std::chrono::milliseconds(10000);
  limits.requestsPerConnection = 100;
  limits.workers = 8;
  limits.acceptName = "public-accept";
  limits.lobbyName = "public-lobby";
  limits.workerName = "public-worker";
  return limits;
}

json publicBanJson(const PublicBan& ban) {
  return {{"id", ban.id},        {"name", ban.name},
          {"kind", ban.kind},    {"reason", ban.reason},
          {"start", ban.start},  {"end", ban.end ? json(*ban.end) : json(nullptr)},
          {"server", ban.server}};
}

std::string publicAddressKey(const PublicContext& context, const httplib::Request& request) {
  std::vector<std::string> lines;
  size_t count = request.get_header_value_count("X-Forwarded-For");
  // More lines than clientOf() takes: none are read.
  for (size_t i = 0; i < count && i <= TrustedProxies::kMaxHeaderLines; ++i) {
    lines.push_back(request.get_header_value("X-Forwarded-For", i));
  }
  return addressKey(context.proxies.clientOf(request.remote_addr, lines));
}

void answerPublicRead(PublicContext& context, const httplib::Request& request,
                      httplib::Response& response, ReadWork work) {
  response.set_header("Cache-Control", "no-store");
  if (context.reads == nullptr) return sendError(response, 503, "the ban record is off");
  ReadLimits::Refusal refusal = ReadLimits::Refusal::kNone;
  std::shared_ptr<ReadSlot> slot =
      context.reads->limits.admit(publicAddressKey(context, request), &refusal);
  if (!slot) {
    response.set_header("Retry-After", "1");
    return sendError(response, refusal == ReadLimits::Refusal::kLoginBusy ? 429 : 503,
                     "too many requests at once; try again shortly");
  }
  std::optional<ReadAnswer> answer = context.reads->pool.run(
      [slot = std::move(slot), work = std::move(work)](ReadTools& tools) { return work(tools); },
      PublicReads::kWait);
  if (!answer) return sendError(response, 503, "the read did not finish in time");
  response.status = answer->status;
  response.set_content(answer->body, answer->contentType);
}

void addPublicRoutes(RouteTable& server, PublicContext& context) {
  servePage(server);
  addBanRoutes(server, context);
  addPublicAppealRoutes(server, context);
}

}  // namespace gsadmin
