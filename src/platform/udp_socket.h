#ifndef GSADMIN_PLATFORM_UDP_SOCKET_H_
#define GSADMIN_PLATFORM_UDP_SOCKET_H_

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <memory>

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

// One UDP socket connected to a single peer. Owns its descriptor and closes
// it on destruction.
class UdpSocket {
 public:
  // Creates a datagram socket and connects it to `peer`. Null on failure.
  static std::unique_ptr<UdpSocket> connectTo(const sockaddr_in& peer);

  // Takes ownership of an open datagram socket descriptor.
  explicit UdpSocket(int fd) : fd_(fd) {}
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Waits at most `timeoutMs` (0: just tests) until a datagram is waiting.
  bool waitReadable(int timeoutMs);

  // Takes one waiting datagram into buffer[0, capacity) without blocking.
  ReceiveResult receive(uint8_t* buffer, size_t capacity);

  // Sends one datagram. The result is deliberately not reported: a lost
  // datagram is recovered by the session's deadline, never by a retry.
  void send(const uint8_t* data, size_t length);

  // Asks the kernel for a receive queue of `bytes` so that bursts are not
  // dropped; silently keeps the default where the system refuses.
  void setReceiveBufferSize(int bytes);

  int descriptor() const { return fd_; }

 private:
  int fd_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_UDP_SOCKET_H_
