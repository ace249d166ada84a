#ifndef GSADMIN_TOOLS_SIM_ENDPOINT_H_
#define GSADMIN_TOOLS_SIM_ENDPOINT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace gsadmin::sim {

using Datagram = std::vector<uint8_t>;

// An IPv4 address and UDP port, both in host byte order.
struct Endpoint {
  uint32_t address = 0;
  uint16_t port = 0;

  bool operator==(const Endpoint&) const = default;
  // "127.0.0.1:4003".
  std::string toString() const;
};

// Where the simulated server's datagrams go: the simulator's socket, or a
// recorder in tests.
class DatagramSink {
 public:
  virtual ~DatagramSink() = default;
  virtual void sendTo(const Endpoint& to, const Datagram& datagram) = 0;
};

}  // namespace gsadmin::sim

#endif  // GSADMIN_TOOLS_SIM_ENDPOINT_H_
