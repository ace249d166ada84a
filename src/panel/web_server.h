#ifndef GSADMIN_PANEL_WEB_SERVER_H_
#define GSADMIN_PANEL_WEB_SERVER_H_

#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "panel/connection.h"
#include "panel/listen_address.h"
#include "panel/route_table.h"
#include "panel/server_limits.h"

namespace gsadmin {

class ConnectionLobby;

// One HTTP or HTTPS server: the library's thread accepts, a lobby thread
// holds the connections and a pool of workers answers their requests, all
// within `limits` (see ServerLimits).
class WebServer {
 public:
  // A plain server, or an HTTPS one with the PEM files `certFile` and
  // `keyFile`. Nothing, with the reason in *error, when the files do not
  // load.
  static std::unique_ptr<WebServer> create(const std::optional<std::string>& certFile,
                                           const std::optional<std::string>& keyFile,
                                           const ServerLimits& limits, std::string* error);
  // Use create(). `lobby` belongs to `server`; `widenBacklog` is called on
  // the bound socket.
  WebServer(std::unique_ptr<httplib::Server> server, ConnectionLobby& lobby,
            std::function<void()> widenBacklog, bool tls, const char* acceptName);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Where the routes are added, before listen().
  RouteTable& routes() { return routes_; }
  const RouteTable& routes() const { return routes_; }
  bool tls() const { return tls_; }

  // Binds `address` and serves on the server's threads. The port bound
  // (the one asked, or the one the system chose for 0); nothing, with the
  // reason in *error, when the address cannot be bound.
  std::optional<uint16_t> listen(const ListenAddress& address, std::string* error);
  // See ConnectionLobby::claim().
  bool claim(std::function<void(std::unique_ptr<Connection>)> taker);
  // Stops serving and joins the threads; idempotent.
  void stop();

 private:
  std::unique_ptr<httplib::Server> server_;
  RouteTable routes_;
  ConnectionLobby& lobby_;
  std::function<void()> widenBacklog_;
  bool tls_;
  const char* acceptName_;  // the accepting thread's
  std::thread thread_;
  std::atomic<bool> finished_{false};  // the accepting thread has ended
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_WEB_SERVER_H_
