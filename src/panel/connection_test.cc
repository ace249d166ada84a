// A connection taken into the lobby sends each write at once: an answer's
// body, written after its headers, must not wait for the peer's delayed
// acknowledgement of them.

#include "panel/connection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace gsadmin {
namespace {

TEST(ConnectionTest, WritesGoOutWithoutNaglesDelay) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  int peer = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  int accepted = accept(listener, nullptr, nullptr);
  ASSERT_GE(accepted, 0);

  std::unique_ptr<Connection> connection = Connection::make(
      accepted, nullptr, "127.0.0.1", RequestFrame(1024, 1024), std::chrono::steady_clock::now());
  ASSERT_TRUE(connection);
  int on = 0;
  socklen_t size = sizeof on;
  ASSERT_EQ(getsockopt(connection->fd(), IPPROTO_TCP, TCP_NODELAY, &on, &size), 0);
  EXPECT_NE(on, 0);
  connection.reset();
  close(peer);
  close(listener);
}

}  // namespace
}  // namespace gsadmin
