#include "panel/connection_stream.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace gsadmin {
namespace {

void addressOf(const sockaddr_storage& address, socklen_t size, std::string& ip, int& port) {
  char host[NI_MAXHOST], service[NI_MAXSERV];
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), size, host, sizeof host, service,
                  sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
    ip = host;
    port = std::atoi(service);
  }
}

}  // namespace

bool ConnectionStream::is_writable() const {
  if (failed_ || (deadline_ && std::chrono::steady_clock::now() >= *deadline_)) return false;
  return connection_.writable(stall_);
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
  size_t taken = std::min(size, size_ - offset_);
  std::memcpy(ptr, connection_.pending().data() + offset_, taken);
  offset_ += taken;
  return static_cast<ssize_t>(taken);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
  if (failed_ || !connection_.writeAll(ptr, size, deadline_, stall_)) {
    failed_ = true;
    return -1;
  }
  return static_cast<ssize_t>(size);
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (getpeername(connection_.fd(), reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    addressOf(address, size, ip, port);
  }
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (getsockname(connection_.fd(), reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    addressOf(address, size, ip, port);
  }
}

}  // namespace gsadmin
