#include "panel/bounded_stream.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace gsadmin {
namespace {

using std::chrono::milliseconds;

// A connected pair of local stream sockets: the server's end and the
// client's, closed at the end.
struct SocketPair {
  SocketPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0); }
  ~SocketPair() {
    close(fds[0]);
    close(fds[1]);
  }
  void send(const std::string& text) const {
    ASSERT_EQ(write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  int fds[2] = {-1, -1};
};

// A read time-out far above the request's limit: only the limit can end a
// wait here.
ConnectionLimits limitsOf(milliseconds requestLimit) {
  return {milliseconds(60000), milliseconds(60000), requestLimit};
}

TEST(BoundedStreamTest, ReadsWithinTheLimitAndRefusesPastItUntilTheNextRequest) {
  SocketPair pair;
  std::unique_ptr<BoundedStream> stream =
      BoundedStream::plain(pair.fds[0], limitsOf(milliseconds(300)));
  ASSERT_TRUE(stream);
  stream->startRequest();
  pair.send("GET / HTTP/1.1\r\n");
  char buffer[64];
  ASSERT_EQ(stream->read(buffer, 3), 3) << "buffered reads hand out what was asked";
  EXPECT_EQ(std::string(buffer, 3), "GET");
  EXPECT_EQ(stream->read(buffer, sizeof buffer), 13);
  EXPECT_FALSE(stream->overran());

  // Nothing more comes: the wait ends at the limit, long before the read
  // time-out, and so does every read after it, even of bytes that came.
  auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(stream->read(buffer, sizeof buffer), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - began, milliseconds(30000));
  EXPECT_TRUE(stream->overran());
  pair.send("Host: x\r\n");
  EXPECT_FALSE(stream->is_readable());
  EXPECT_EQ(stream->read(buffer, sizeof buffer), -1);

  // A new request gets the limit afresh.
  stream->startRequest();
  EXPECT_FALSE(stream->overran());
  EXPECT_EQ(stream->read(buffer, sizeof buffer), 9);
}

TEST(BoundedStreamTest, WritesEverythingAndTellsAClosedPeer) {
  SocketPair pair;
  std::unique_ptr<BoundedStream> stream =
      BoundedStream::plain(pair.fds[0], limitsOf(milliseconds(300)));
  ASSERT_TRUE(stream);
  // More than a socket buffer holds, read on the other side meanwhile.
  std::string text(1 << 20, 'x');
  std::string received;
  std::thread reader([&]() {
    char buffer[65536];
    while (received.size() < text.size()) {
      ssize_t n = read(pair.fds[1], buffer, sizeof buffer);
      if (n <= 0) break;
      received.append(buffer, static_cast<size_t>(n));
    }
  });
  EXPECT_EQ(stream->write(text.data(), text.size()), static_cast<ssize_t>(text.size()));
  reader.join();
  EXPECT_EQ(received.size(), text.size());

  shutdown(pair.fds[1], SHUT_RDWR);
  stream->startRequest();
  char buffer[8];
  EXPECT_EQ(stream->read(buffer, sizeof buffer), 0) << "the peer's close";
  EXPECT_EQ(stream->write("x", 1), -1);
}

}  // namespace
}  // namespace gsadmin
