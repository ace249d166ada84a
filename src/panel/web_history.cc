// What the panel's history page reads: players found by name and what is
// known of one, as ".seen" and ".history" show it.

#include <algorithm>

#include "moderation/listings.h"
#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

constexpr size_t kSearchResults = 50;
// As ".history" lists.
constexpr size_t kChatLines = kHistoryChatLines;
constexpr size_t kMaxChatLines = kMaxHistoryChatLines;

// The query parameter `key` when it is at most kMaxNameBytes long and has
// no control characters; false with a 400 answered otherwise.
bool nameParameter(const httplib::Request& request, httplib::Response& response, const char* key,
                   std::string* value) {
  *value = request.get_param_value(key);
  bool clean = std::none_of(value->begin(), value->end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  if (!clean || value->size() > kMaxNameBytes) {
    sendError(response, 400,
              std::string(key) + " is a name of at most " + std::to_string(kMaxNameBytes) +
                  " bytes on one line");
    return false;
  }
  return true;
}

// The number of chat lines asked for with "lines"; none after a 400.
std::optional<size_t> chatLines(const httplib::Request& request, httplib::Response& response) {
  if (!request.has_param("lines")) return kChatLines;
  std::string text = request.get_param_value("lines");
  size_t lines = 0;
  bool digits = !text.empty() && text.size() <= 3 &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (digits) lines = std::stoul(text);
  if (lines < 1 || lines > kMaxChatLines) {
    sendError(response, 400, "lines is a number from 1 to 100");
    return std::nullopt;
  }
  return lines;
}

// On a reader thread; whether the player is on the server now, as the
// latest snapshot has it.
ReadAnswer history(WebContext& context, ReadTools& tools, const std::string& name, size_t lines) {
  PlayerHistoryView view;
  view.name = name;
  view.record = tools.history.find(name);
  view.sanctions = tools.sanctions.sanctionsOf(name, kMaxListed);
  view.notes = tools.sanctions.notesOf(name, kMaxListed);
  view.chat = tools.history.lastChat(name, lines);
  if (!view.record && view.sanctions.empty() && view.notes.empty() && view.chat.empty()) {
    return {404, dump({{"error", "nothing is known of " + name}})};
  }
  // Held for the loop: the board lets go of a snapshot when the next comes.
  std::shared_ptr<const Snapshot> snapshot = context.board.latest();
  for (const PlayerView& player : snapshot->players) {
    if (nameKey(player.name) == nameKey(name)) view.online = player.id;
  }
  return {200, dump(historyJson(view))};
}

}  // namespace

void addHistoryRoutes(RouteTable& server, WebContext& context) {
  server.get("/api/players/search", [&context](const httplib::Request& request,
                                               httplib::Response& response) {
    std::optional<WebLogin> login = requireReader(context, request, response, "history");
    if (!login) return;
    std::string text;
    if (!nameParameter(request, response, "q", &text)) return;
    answerFromReader(
        context, *login, response, Freshness::kLatest, [text](ReadTools& tools) -> ReadAnswer {
          return {200, dump(playerSearchJson(tools.history.search(text, kSearchResults)))};
        });
  });
  server.get("/api/history",
             [&context](const httplib::Request& request, httplib::Response& response) {
               std::optional<WebLogin> login = requireReader(context, request, response, "history");
               if (!login) return;
               std::string name;
               if (!nameParameter(request, response, "name", &name)) return;
               if (name.empty()) {
                 sendError(response, 400, "history needs a name");
                 return;
               }
               std::optional<size_t> lines = chatLines(request, response);
               if (!lines) return;
               answerFromReader(context, *login, response, Freshness::kLatest,
                                [&context, name, lines = *lines](ReadTools& tools) {
                                  return history(context, tools, name, lines);
                                });
             });
}

}  // namespace gsadmin
