#ifndef GSADMIN_PLATFORM_DATAGRAM_SINK_H_
#define GSADMIN_PLATFORM_DATAGRAM_SINK_H_

#include <cstddef>
#include <cstdint>

namespace gsadmin {

// Where the client's datagrams go: the UDP socket in the program, a recorder
// in tests.
class DatagramSink {
 public:
  virtual ~DatagramSink() = default;
  // Sends one datagram of `length` bytes. The result is deliberately not
  // reported: a lost datagram is recovered by the session's deadline.
  virtual void send(const uint8_t* data, size_t length) = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_PLATFORM_DATAGRAM_SINK_H_
