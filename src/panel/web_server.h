#ifndef GSADMIN_PANEL_WEB_SERVER_H_
#define GSADMIN_PANEL_WEB_SERVER_H_

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "panel/listen_address.h"

namespace gsadmin {

// One HTTP or HTTPS server on a thread of its own, with the limits every
// server of the client keeps: request bodies of at most kMaxBodyBytes,
// reads and writes that give up after kIoTimeoutSeconds, a request (or a
// TLS handshake) that must arrive in full within kRequestLimit however its
// bytes trickle in, idle connections closed after kKeepAliveSeconds, and a
// pool of `workers` threads.
class WebServer {
 public:
  static constexpr size_t kMaxBodyBytes = 64 * 1024;
  static constexpr time_t kIoTimeoutSeconds = 5;
  static constexpr std::chrono::milliseconds kRequestLimit{10000};
  static constexpr time_t kKeepAliveSeconds = 5;
  static constexpr size_t kKeepAliveRequests = 100;

  // A plain server, or an HTTPS one with the PEM files `certFile` and
  // `keyFile`, serving on `workers` threads. Nothing, with the reason in
  // *error, when the files do not load.
  static std::unique_ptr<WebServer> create(const std::optional<std::string>& certFile,
                                           const std::optional<std::string>& keyFile,
                                           size_t workers, std::string* error);
  // Use create().
  WebServer(std::unique_ptr<httplib::Server> server, bool tls);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Where the routes are added, before listen().
  httplib::Server& routes() { return *server_; }
  bool tls() const { return tls_; }

  // Binds `address` and serves on the server's thread. The port bound
  // (the one asked, or the one the system chose for 0); nothing, with the
  // reason in *error, when the address cannot be bound.
  std::optional<uint16_t> listen(const ListenAddress& address, std::string* error);
  // Stops serving and joins the thread; idempotent.
  void stop();

 private:
  std::unique_ptr<httplib::Server> server_;
  bool tls_;
  std::thread thread_;
  std::atomic<bool> finished_{false};  // the thread's serving has ended
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_WEB_SERVER_H_
