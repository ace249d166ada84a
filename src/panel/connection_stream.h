#ifndef GSADMIN_PANEL_CONNECTION_STREAM_H_
#define GSADMIN_PANEL_CONNECTION_STREAM_H_

#include <httplib.h>

#include <chrono>
#include <optional>

#include "panel/connection.h"

namespace gsadmin {

// One request of a Connection as the HTTP library's stream, for the worker
// that answers it. The request has arrived whole: reads give its bytes and
// then the end, never waiting on the network, so the library can neither
// wait for nor read past it. Writes go to the socket, all done by
// `deadline` (none for an event stream) with no wait longer than `stall`.
class ConnectionStream : public httplib::Stream {
 public:
  ConnectionStream(Connection& connection, size_t requestSize, std::optional<SteadyTime> deadline,
                   std::chrono::milliseconds stall)
      : connection_(connection), size_(requestSize), deadline_(deadline), stall_(stall) {}

  // Whether the library read exactly the request, and every write went
  // out: else the connection must close.
  bool clean() const { return offset_ == size_ && !failed_; }

  bool is_readable() const override { return offset_ < size_; }
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  using httplib::Stream::write;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  int socket() const override { return connection_.fd(); }

 private:
  Connection& connection_;
  size_t size_;
  size_t offset_ = 0;
  std::optional<SteadyTime> deadline_;
  std::chrono::milliseconds stall_;
  bool failed_ = false;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_CONNECTION_STREAM_H_
