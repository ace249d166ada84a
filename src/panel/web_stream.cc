#include "panel/web_context.h"
#include "panel/web_json.h"

namespace gsadmin {
namespace {

// Console lines a new stream starts with, and the most one write carries.
constexpr size_t kBacklogLines = 100;
constexpr size_t kLinesPerWrite = 500;
// A comment line this often keeps proxies and browsers from closing a
// quiet stream, and finds streams whose reader has gone.
constexpr std::chrono::milliseconds kKeepAliveInterval{15000};

// One stream's position: the last line and snapshot it has sent.
struct StreamState {
  std::string token;  // the login's cookie: the stream ends with the login
  uint64_t lastLine = 0;
  // The snapshot whose players were sent last; null before the first.
  std::shared_ptr<const Snapshot> lastSent;
  // Its place among the open streams, given back with the state.
  std::unique_ptr<StreamLimits::Place> place;
};

std::string eventText(const char* name, const nlohmann::json& data,
                      std::optional<uint64_t> id = std::nullopt) {
  std::string text = std::string("event: ") + name + "\n";
  if (id) text += "id: " + std::to_string(*id) + "\n";
  return text + "data: " + dump(data) + "\n\n";
}

// What the stream has not sent yet: new console lines, then the players of
// a newer snapshot.
std::string pendingEvents(WebContext& context, StreamState& state) {
  std::string text;
  for (const ConsoleEntry& entry : context.ring.since(state.lastLine, kLinesPerWrite)) {
    text += eventText("console", consoleJson(entry), entry.seq);
    state.lastLine = entry.seq;
  }
  // Snapshots published for the counters alone send nothing here.
  std::shared_ptr<const Snapshot> snapshot = context.board.latest();
  if (!state.lastSent ||
      (snapshot != state.lastSent && snapshot->players != state.lastSent->players)) {
    text += eventText("players", playersJson(*snapshot));
  }
  state.lastSent = snapshot;
  return text;
}

// Called by the server again and again while it returns true: waits for
// something new and writes it. Never touches the loop.
bool writeStream(WebContext& context, StreamState& state, httplib::DataSink& sink) {
  if (context.signal.stopped() || !context.sessions.find(state.token)) {
    sink.done();
    return true;
  }
  // The version is read before looking, so a change in between still wakes.
  uint64_t version = context.signal.version();
  std::string text = pendingEvents(context, state);
  if (text.empty()) {
    if (context.signal.waitPast(version, kKeepAliveInterval) == version) {
      text = ": keep-alive\n\n";
    } else {
      text = pendingEvents(context, state);
    }
  }
  if (text.empty()) return true;
  return sink.is_writable() && sink.write(text.data(), text.size());
}

}  // namespace

void addStreamRoute(httplib::Server& server, WebContext& context) {
  server.Get(std::string(kEventsPath),
             [&context](const httplib::Request& request, httplib::Response& response) {
               std::optional<WebLogin> login = requireLogin(context, request, response, false);
               if (!login) return;
               // Streams run on threads of their own, which the server picks by the
               // raw request line: a spelling it would not know is refused.
               if (!isEventsRequest(request.method, request.target)) {
                 sendError(response, 404, "not found");
                 return;
               }
               StreamLimits::Refusal refusal;
               auto state = std::make_shared<StreamState>();
               state->place = context.streams.take(login->token, login->name, &refusal);
               if (!state->place) {
                 sendError(response, refusal.status, refusal.message);
                 return;
               }
               state->token = login->token;
               uint64_t last = context.ring.lastSeq();
               state->lastLine = last > kBacklogLines ? last - kBacklogLines : 0;
               response.set_header("Cache-Control", "no-store");
               response.set_chunked_content_provider(
                   "text/event-stream", [&context, state](size_t, httplib::DataSink& sink) {
                     return writeStream(context, *state, sink);
                   });
             });
}

}  // namespace gsadmin
