#include "panel/stream_hub.h"
#include "panel/web_context.h"

namespace gsadmin {

void addStreamRoute(RouteTable& server, WebContext& context) {
  server.get(std::string(kEventsPath), [&context](const httplib::Request& request,
                                                  httplib::Response& response) {
    std::optional<WebLogin> login = requireLogin(context, request, response, false);
    if (!login) return;
    // Only the route's own spelling streams (see isEventsRequest).
    if (!isEventsRequest(request.method, request.target)) {
      sendError(response, 404, "not found");
      return;
    }
    StreamLimits::Refusal refusal;
    std::unique_ptr<StreamLimits::Place> place =
        context.streams.take(login->token, login->name, &refusal);
    if (!place) {
      sendError(response, refusal.status, refusal.message);
      return;
    }
    // Once the library has written the headers, the hub takes the
    // connection and writes the events; the place goes with it.
    auto held = std::make_shared<std::unique_ptr<StreamLimits::Place>>(std::move(place));
    StreamHub* hub = context.hub;
    std::string token = login->token;
    bool claimed =
        hub != nullptr &&
        context.claimConnection([hub, held, token](std::unique_ptr<Connection> connection) {
          hub->adopt(std::move(connection), token, std::move(*held));
        });
    if (!claimed) {
      sendError(response, 503, "the event stream is off");
      return;
    }
    response.set_header("Cache-Control", "no-store");
    // The library writes the headers of a chunked answer, then stops at
    // once: the provider has nothing for it.
    response.set_chunked_content_provider("text/event-stream",
                                          [](size_t, httplib::DataSink&) { return false; });
  });
}

}  // namespace gsadmin
