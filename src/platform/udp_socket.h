#ifndef GSADMIN_PLATFORM_UDP_SOCKET_H_
#define GSADMIN_PLATFORM_UDP_SOCKET_H_

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/datagram_sink.h"

namespace gsadmin {

// The outcome of one non-blocking receive.
struct ReceiveResult {
  enum class Kind {
    kNothing,   // no datagram was waiting
    kDatagram,  // one datagram was taken off the queue
    kError,     // the socket reported an error (e.g. ICMP port unreachable)
  };
  Kind kind = Kind::kNothing;
  // The datagram's full length, which may exceed the buffer's capacity; the
  // bytes beyond the capacity were discarded.
  size_t length = 0;
};

// The outcome of one receiveBatch(): kDatagram when `count` (at least one)
// were taken, in arrival order.
struct BatchReceiveResult {
  ReceiveResult::Kind kind = ReceiveResult::Kind::kNothing;
  size_t count = 0;
};

// Buffers for UdpSocket::receiveBatch(), owned by the caller and reused for
// every call: `slots` datagrams of up to `capacity` bytes each. What a call
// took stays readable until the next call.
class ReceiveBatch {
 public:
  ReceiveBatch(size_t slots, size_t capacity);
  ReceiveBatch(const ReceiveBatch&) = delete;
  ReceiveBatch& operator=(const ReceiveBatch&) = delete;

  size_t slots() const { return messages_.size(); }
  size_t capacity() const { return capacity_; }
  // The bytes of the last call's datagram `index` (below its count), the
  // first min(length(index), capacity()) of them valid.
  const uint8_t* data(size_t index) const { return bytes_.get() + index * capacity_; }
  // That datagram's full length, which exceeds capacity() when the bytes
  // beyond the capacity were discarded. Inline: read for every datagram.
  size_t length(size_t index) const {
    const mmsghdr& message = messages_[index];
    // With MSG_TRUNC the kernel reports the full length; where it cannot,
    // the cut is still told apart by its flag.
    if ((message.msg_hdr.msg_flags & MSG_TRUNC) && message.msg_len <= capacity_) {
      return capacity_ + 1;
    }
    return message.msg_len;
  }

 private:
  friend class UdpSocket;
  size_t capacity_;
  std::unique_ptr<uint8_t[]> bytes_;  // slots * capacity, not cleared
  std::vector<iovec> vectors_;
  std::vector<mmsghdr> messages_;
};

// One IPv4 UDP socket: connected to a single peer (the client), or bound to
// a local address and talking to many (the simulator, test peers). Owns its
// descriptor and closes it on destruction.
class UdpSocket : public DatagramSink {
 public:
  // Creates a datagram socket and connects it to `peer`. Null on failure,
  // with the system's reason in *error when it is given.
  static std::unique_ptr<UdpSocket> connectTo(const sockaddr_in& peer,
                                              std::string* error = nullptr);
  // Creates a datagram socket bound to `local` (port 0: any free port).
  // Null on failure, with the system's reason in *error when it is given.
  static std::unique_ptr<UdpSocket> bindTo(const sockaddr_in& local, std::string* error = nullptr);

  // Takes ownership of an open datagram socket descriptor.
  explicit UdpSocket(int fd) : fd_(fd) {}
  ~UdpSocket() override;
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Waits at most `timeoutMs` (0: just tests) until a datagram is waiting.
  bool waitReadable(int timeoutMs);

  // Takes one waiting datagram into buffer[0, capacity) without blocking.
  ReceiveResult receive(uint8_t* buffer, size_t capacity);

  // Takes up to min(`most`, batch.slots()) waiting datagrams into `batch`
  // with one system call, without blocking. A datagram longer than the
  // capacity is cut and reported with its full length, as receive() does.
  // kError only when the first receive failed; an error after some
  // datagrams is reported by the next call.
  BatchReceiveResult receiveBatch(ReceiveBatch& batch, size_t most);

  // receive() on an unconnected socket: also reports the sender in *from.
  ReceiveResult receiveFrom(uint8_t* buffer, size_t capacity, sockaddr_in* from);

  // Sends one datagram. The result is deliberately not reported: a lost
  // datagram is recovered by the session's deadline, never by a retry.
  void send(const uint8_t* data, size_t length) override;
  // Sends one datagram to `to`; true when the whole datagram was queued.
  bool sendTo(const sockaddr_in& to, const uint8_t* data, size_t length);

  // Asks the kernel for a receive queue of `bytes` so that bursts are not
  // dropped; silently keeps the default where the system refuses.
  void setReceiveBufferSize(int bytes);

  // The address the socket is bound to (after connect: the local end).
  sockaddr_in localAddress() const;
  uint16_t localPort() const { return ntohs(localAddress().sin_port); }

  int descriptor() const { return fd_; }

 private:
  int fd_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_UDP_SOCKET_H_
