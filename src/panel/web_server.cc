#include "panel/web_server.h"

#include <pthread.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include "panel/bounded_server.h"
#include "platform/thread_name.h"

namespace gsadmin {

std::unique_ptr<WebServer> WebServer::create(const std::optional<std::string>& certFile,
                                             const std::optional<std::string>& keyFile,
                                             const ServerLimits& limits, std::string* error) {
  std::unique_ptr<WebServer> made;
  if (certFile && keyFile) {
    auto secure = std::make_unique<BoundedSslServer>(certFile->c_str(), keyFile->c_str(), limits);
    if (!secure->is_valid()) {
      *error = "cannot load the certificate " + *certFile + " with the key " + *keyFile;
      return nullptr;
    }
    BoundedSslServer& server = *secure;
    made = std::make_unique<WebServer>(
        std::move(secure), server.lobby(), [&server] { server.widenBacklog(); }, true,
        limits.acceptName);
  } else {
    auto plain = std::make_unique<BoundedServer>(limits);
    BoundedServer& server = *plain;
    made = std::make_unique<WebServer>(
        std::move(plain), server.lobby(), [&server] { server.widenBacklog(); }, false,
        limits.acceptName);
  }
  // The lobby frames requests by these caps already; the library's own is
  // a second guard.
  made->server_->set_payload_max_length(limits.maxBodyBytes);
  return made;
}

WebServer::WebServer(std::unique_ptr<httplib::Server> server, ConnectionLobby& lobby,
                     std::function<void()> widenBacklog, bool tls, const char* acceptName)
    : server_(std::move(server)),
      routes_(*server_),
      lobby_(lobby),
      widenBacklog_(std::move(widenBacklog)),
      tls_(tls),
      acceptName_(acceptName) {}

WebServer::~WebServer() {
  stop();
}

std::optional<uint16_t> WebServer::listen(const ListenAddress& address, std::string* error) {
  bool v6 = address.host.find(':') != std::string::npos;
  server_->set_address_family(v6 ? AF_INET6 : AF_INET);
  int port = address.port;
  if (port == 0) {
    port = server_->bind_to_any_port(address.host);
    if (port <= 0) port = -1;
  } else if (!server_->bind_to_port(address.host, port)) {
    port = -1;
  }
  if (port < 0) {
    *error = "cannot listen on " + urlOf(address, tls_) + ": " + std::strerror(errno);
    return std::nullopt;
  }
  widenBacklog_();
  // The server's threads block every signal: a stop or reload must reach
  // the loop's thread, whose wait it interrupts, not a thread that would
  // only set the flag.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  bool started = lobby_.start(error);
  if (started) {
    thread_ = std::thread([this, name = acceptName_]() {
      nameThisThread(name);
      server_->listen_after_bind();
      finished_ = true;
    });
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (!started) return std::nullopt;
  return static_cast<uint16_t>(port);
}

bool WebServer::claim(std::function<void(std::unique_ptr<Connection>)> taker) {
  return lobby_.claim(std::move(taker));
}

void WebServer::stop() {
  if (thread_.joinable()) {
    // A stop before the thread has begun to serve would be lost.
    while (!server_->is_running() && !finished_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    server_->stop();
    thread_.join();
  }
  lobby_.stop();
}

}  // namespace gsadmin
