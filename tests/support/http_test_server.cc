#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace gsadmin::testing {

HttpTestServer::HttpTestServer() : server_(std::make_unique<httplib::Server>()) {}

HttpTestServer::HttpTestServer(const std::string& certificateFile, const std::string& keyFile)
    : server_(std::make_unique<httplib::SSLServer>(certificateFile.c_str(), keyFile.c_str())),
      tls_(true) {}

HttpTestServer::~HttpTestServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

bool HttpTestServer::start() {
  int port = server_->bind_to_any_port("127.0.0.1");
  if (port <= 0) return false;
  port_ = static_cast<uint16_t>(port);
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!server_->is_running() && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return server_->is_running();
}

std::string HttpTestServer::url(const std::string& path) const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

SilentServer::SilentServer() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd_, 256) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
}

SilentServer::~SilentServer() {
  if (fd_ >= 0) ::close(fd_);
}

std::string SilentServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

bool makeSelfSignedCertificate(const std::string& directory) {
  std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
      " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
      directory + "/key.pem' -out '" + directory + "/cert.pem' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace gsadmin::testing
