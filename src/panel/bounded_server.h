#ifndef GSADMIN_PANEL_BOUNDED_SERVER_H_
#define GSADMIN_PANEL_BOUNDED_SERVER_H_

#include <httplib.h>

#include <memory>

#include "panel/connection_lobby.h"
#include "panel/server_limits.h"

namespace gsadmin {

// The HTTP library's servers with the connection handling replaced: the
// library's thread accepts, and hands each socket at once to a
// ConnectionLobby, which keeps `limits` and has the library parse, route
// and answer each request only once it has arrived whole. Routes and
// stop() remain the library's; serve with listen_after_bind() after
// widenBacklog() and lobby().start().
class BoundedServer : public httplib::Server {
 public:
  explicit BoundedServer(const ServerLimits& limits);

  ConnectionLobby& lobby() { return *lobby_; }
  // A listen queue long enough that a burst of connections waits for the
  // lobby instead of being turned away by the system; after binding.
  void widenBacklog();

 private:
  bool process_and_close_socket(int sock) override;

  std::unique_ptr<ConnectionLobby> lobby_;
};

class BoundedSslServer : public httplib::SSLServer {
 public:
  // Check is_valid(): the files may not load.
  BoundedSslServer(const char* certFile, const char* keyFile, const ServerLimits& limits);

  ConnectionLobby& lobby() { return *lobby_; }
  void widenBacklog();

 private:
  bool process_and_close_socket(int sock) override;

  std::unique_ptr<ConnectionLobby> lobby_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_BOUNDED_SERVER_H_
