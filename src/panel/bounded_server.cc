#include "panel/bounded_server.h"

#include <sys/socket.h>

namespace gsadmin {
namespace {

constexpr int kListenBacklog = 512;

// Runs the accept thread's hand-off at once on that thread: all it does
// is pass the socket to the lobby.
class InlineQueue : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> task) override { task(); }
  void shutdown() override {}
};

void runInline(httplib::Server& server) {
  // The library's interface hands over a raw pointer, which it owns.
  server.new_task_queue = [] { return new InlineQueue; };
}

}  // namespace

BoundedServer::BoundedServer(const ServerLimits& limits) {
  runInline(*this);
  lobby_ = std::make_unique<ConnectionLobby>(
      limits, nullptr, [this](httplib::Stream& stream, bool last, bool& closed) {
        return process_request(stream, last, closed, nullptr);
      });
}

void BoundedServer::widenBacklog() {
  // Listening again on a listening socket only changes its queue's length.
  ::listen(svr_sock_, kListenBacklog);
}

bool BoundedServer::process_and_close_socket(int sock) {
  lobby_->admit(sock);
  return true;
}

BoundedSslServer::BoundedSslServer(const char* certFile, const char* keyFile,
                                   const ServerLimits& limits)
    : httplib::SSLServer(certFile, keyFile) {
  runInline(*this);
  lobby_ = std::make_unique<ConnectionLobby>(
      limits, ssl_context(), [this](httplib::Stream& stream, bool last, bool& closed) {
        return process_request(stream, last, closed, nullptr);
      });
}

void BoundedSslServer::widenBacklog() {
  ::listen(svr_sock_, kListenBacklog);
}

bool BoundedSslServer::process_and_close_socket(int sock) {
  lobby_->admit(sock);
  return true;
}

}  // namespace gsadmin
