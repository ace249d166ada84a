#include "panel/web_server.h"

#include <pthread.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include "panel/bounded_server.h"

namespace gsadmin {

std::unique_ptr<WebServer> WebServer::create(const std::optional<std::string>& certFile,
                                             const std::optional<std::string>& keyFile,
                                             size_t workers, std::string* error) {
  std::unique_ptr<httplib::Server> server;
  bool tls = certFile && keyFile;
  if (tls) {
    auto secure =
        std::make_unique<BoundedSslServer>(certFile->c_str(), keyFile->c_str(), kRequestLimit);
    if (!secure->is_valid()) {
      *error = "cannot load the certificate " + *certFile + " with the key " + *keyFile;
      return nullptr;
    }
    server = std::move(secure);
  } else {
    server = std::make_unique<BoundedServer>(kRequestLimit);
  }
  server->set_payload_max_length(kMaxBodyBytes);
  server->set_read_timeout(kIoTimeoutSeconds, 0);
  server->set_write_timeout(kIoTimeoutSeconds, 0);
  server->set_keep_alive_timeout(kKeepAliveSeconds);
  server->set_keep_alive_max_count(kKeepAliveRequests);
  // The library's interface hands over a raw pointer, which it owns.
  server->new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
  return std::make_unique<WebServer>(std::move(server), tls);
}

WebServer::WebServer(std::unique_ptr<httplib::Server> server, bool tls)
    : server_(std::move(server)), tls_(tls) {}

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
  // The server's threads (this one and the pool it starts) block every
  // signal: a stop or reload must reach the loop's thread, whose wait it
  // interrupts, not a thread that would only set the flag.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  thread_ = std::thread([this]() {
    server_->listen_after_bind();
    finished_ = true;
  });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return static_cast<uint16_t>(port);
}

void WebServer::stop() {
  if (!thread_.joinable()) return;
  // A stop before the thread has begun to serve would be lost.
  while (!server_->is_running() && !finished_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  server_->stop();
  thread_.join();
}

}  // namespace gsadmin
