// Batched receives through real loopback sockets: order, lengths, a cut
// datagram told apart, the bounds of one call, an empty queue, an error.

#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gsadmin {
namespace {

constexpr size_t kCapacity = 9;

struct Pair {
  std::unique_ptr<UdpSocket> receiver;
  std::unique_ptr<UdpSocket> sender;
  sockaddr_in to{};
};

Pair loopbackPair() {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  Pair pair;
  pair.receiver = UdpSocket::bindTo(local);
  pair.sender = UdpSocket::bindTo(local);
  if (pair.receiver) pair.to = pair.receiver->localAddress();
  return pair;
}

void sendAll(Pair& pair, const std::vector<std::string>& datagrams) {
  for (const std::string& text : datagrams) {
    ASSERT_TRUE(
        pair.sender->sendTo(pair.to, reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
  ASSERT_TRUE(pair.receiver->waitReadable(2000));
}

std::string textOf(const ReceiveBatch& batch, size_t index) {
  size_t kept = std::min(batch.length(index), batch.capacity());
  return std::string(reinterpret_cast<const char*>(batch.data(index)), kept);
}

TEST(UdpSocketTest, ABatchTakesTheQueueInOrderAndTellsACutDatagramApart) {
  Pair pair = loopbackPair();
  ASSERT_TRUE(pair.receiver && pair.sender);
  std::string oversize(25, 'x');
  sendAll(pair, {"one", oversize, "", "exactly9!"});

  ReceiveBatch batch(8, kCapacity);
  BatchReceiveResult received = pair.receiver->receiveBatch(batch, 8);
  ASSERT_EQ(received.kind, ReceiveResult::Kind::kDatagram);
  ASSERT_EQ(received.count, 4u);
  EXPECT_EQ(textOf(batch, 0), "one");
  EXPECT_EQ(batch.length(1), 25u) << "its full length, beyond the capacity";
  EXPECT_EQ(textOf(batch, 1), std::string(kCapacity, 'x'));
  EXPECT_EQ(batch.length(2), 0u);
  EXPECT_EQ(batch.length(3), kCapacity) << "a datagram that just fits is not cut";
  EXPECT_EQ(textOf(batch, 3), "exactly9!");

  EXPECT_EQ(pair.receiver->receiveBatch(batch, 8).kind, ReceiveResult::Kind::kNothing);
}

TEST(UdpSocketTest, ABatchTakesNoMoreThanItsSlotsOrTheCallersBound) {
  Pair pair = loopbackPair();
  ASSERT_TRUE(pair.receiver && pair.sender);
  sendAll(pair, {"a", "b", "c", "d", "e"});

  ReceiveBatch batch(2, kCapacity);
  struct Step {
    size_t most;
    size_t count;
    std::string first;
  };
  for (const Step& step : {Step{10, 2, "a"}, Step{1, 1, "c"}, Step{0, 0, ""}, Step{2, 2, "d"}}) {
    BatchReceiveResult received = pair.receiver->receiveBatch(batch, step.most);
    ASSERT_EQ(received.count, step.count) << step.most;
    if (step.count > 0) {
      EXPECT_EQ(textOf(batch, 0), step.first);
    }
  }
  BatchReceiveResult empty = pair.receiver->receiveBatch(batch, 2);
  EXPECT_EQ(empty.kind, ReceiveResult::Kind::kNothing);
  EXPECT_EQ(empty.count, 0u);
}

TEST(UdpSocketTest, ABatchReportsTheErrorOfAPeerThatIsGone) {
  sockaddr_in gone;
  {
    Pair pair = loopbackPair();  // a port of our own, closed at once
    ASSERT_TRUE(pair.receiver);
    gone = pair.to;
  }
  std::unique_ptr<UdpSocket> client = UdpSocket::connectTo(gone);
  ASSERT_TRUE(client);
  uint8_t byte = 4;
  client->send(&byte, 1);
  ASSERT_TRUE(client->waitReadable(2000)) << "the port-unreachable error";
  ReceiveBatch batch(4, kCapacity);
  EXPECT_EQ(client->receiveBatch(batch, 4).kind, ReceiveResult::Kind::kError);
  EXPECT_EQ(client->receiveBatch(batch, 4).kind, ReceiveResult::Kind::kNothing);
}

}  // namespace
}  // namespace gsadmin
