#include "panel/bounded_server.h"

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>

namespace gsadmin {
namespace {

using std::chrono::milliseconds;

// The library's request handling of one request on a stream: reads it,
// routes it and writes the answer; `last` asks it to close the connection
// after, and it sets `closed` when it did. False on failure.
using ProcessRequest = std::function<bool(httplib::Stream& stream, bool last, bool& closed)>;

// How often a connection waiting for its next request looks whether the
// server stopped.
constexpr milliseconds kStopCheckInterval{100};

milliseconds durationOf(time_t seconds, time_t microseconds) {
  return milliseconds(seconds * 1000 + microseconds / 1000);
}

// Serves the requests of one connection until the client is done, it is
// idle for `idle`, `maxRequests` were served, a request overran its limit,
// or `listening` is no longer a socket (the server stopped).
void serveRequests(BoundedStream& stream, size_t maxRequests, milliseconds idle,
                   const std::atomic<int>& listening, const ProcessRequest& process) {
  for (size_t left = maxRequests; left > 0; --left) {
    bool ready = false;
    for (milliseconds waited{0}; !ready && waited < idle && listening != INVALID_SOCKET;
         waited += kStopCheckInterval) {
      ready = stream.waitReadable(kStopCheckInterval);
    }
    if (!ready) return;
    stream.startRequest();
    bool closed = false;
    if (!process(stream, left == 1, closed) || closed || stream.overran()) return;
  }
}

void closeSocket(int sock) {
  shutdown(sock, SHUT_RDWR);
  close(sock);
}

}  // namespace

BoundedServer::BoundedServer(milliseconds requestLimit) : requestLimit_(requestLimit) {}

bool BoundedServer::process_and_close_socket(int sock) {
  ConnectionLimits limits{durationOf(read_timeout_sec_, read_timeout_usec_),
                          durationOf(write_timeout_sec_, write_timeout_usec_), requestLimit_};
  std::unique_ptr<BoundedStream> stream = BoundedStream::plain(sock, limits);
  if (stream) {
    serveRequests(*stream, keep_alive_max_count_, durationOf(keep_alive_timeout_sec_, 0), svr_sock_,
                  [this](httplib::Stream& s, bool last, bool& closed) {
                    return process_request(s, last, closed, nullptr);
                  });
  }
  stream.reset();
  closeSocket(sock);
  return true;
}

BoundedSslServer::BoundedSslServer(const char* certFile, const char* keyFile,
                                   milliseconds requestLimit)
    : httplib::SSLServer(certFile, keyFile), requestLimit_(requestLimit) {}

bool BoundedSslServer::process_and_close_socket(int sock) {
  ConnectionLimits limits{durationOf(read_timeout_sec_, read_timeout_usec_),
                          durationOf(write_timeout_sec_, write_timeout_usec_), requestLimit_};
  std::unique_ptr<BoundedStream> stream = BoundedStream::tls(sock, ssl_context(), limits);
  if (stream) {
    serveRequests(*stream, keep_alive_max_count_, durationOf(keep_alive_timeout_sec_, 0), svr_sock_,
                  [this](httplib::Stream& s, bool last, bool& closed) {
                    return process_request(s, last, closed, nullptr);
                  });
  }
  stream.reset();  // its close notification goes before the socket closes
  closeSocket(sock);
  return true;
}

}  // namespace gsadmin
