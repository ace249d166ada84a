#ifndef GSADMIN_TESTS_SUPPORT_HTTP_TEST_SERVER_H_
#define GSADMIN_TESTS_SUPPORT_HTTP_TEST_SERVER_H_

#include <httplib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace gsadmin::testing {

// A real HTTP server (cpp-httplib) on 127.0.0.1, on a free port it opened
// itself, serving from threads of its own. Routes are set on server()
// before start(); the destructor stops it and joins its thread.
class HttpTestServer {
 public:
  // Plain HTTP.
  HttpTestServer();
  // HTTPS with the PEM certificate and key files given.
  HttpTestServer(const std::string& certificateFile, const std::string& keyFile);
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  httplib::Server& server() { return *server_; }
  // Binds, starts serving and returns once it does; false when it cannot.
  bool start();
  uint16_t port() const { return port_; }
  // "http://127.0.0.1:PORT" + path (https for the HTTPS server).
  std::string url(const std::string& path) const;

 private:
  std::unique_ptr<httplib::Server> server_;
  bool tls_ = false;
  uint16_t port_ = 0;
  std::thread thread_;
};

// A TCP listener on 127.0.0.1 that accepts nothing: connections complete in
// the kernel's queue (room for 256) and never hear an answer.
class SilentServer {
 public:
  SilentServer();
  ~SilentServer();
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  uint16_t port() const { return port_; }
  std::string url(const std::string& path) const;

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// Writes a self-signed certificate for 127.0.0.1 and its key, cert.pem and
// key.pem, into `directory` with the openssl program. False when it failed.
bool makeSelfSignedCertificate(const std::string& directory);

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_HTTP_TEST_SERVER_H_
