#include "support/raw_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace gsadmin::testing {

int connectTo(int port, const char* source) {
  int fd = connectFrom(port, source ? source : "", 5000);
  if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

int connectFrom(int port, const std::string& source, int timeoutMs) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  if (!source.empty()) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &local.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      close(fd);
      return -1;
    }
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
    close(fd);
    return -1;
  }
  pollfd entry{fd, POLLOUT, 0};
  int error = 0;
  socklen_t length = sizeof error;
  if (poll(&entry, 1, timeoutMs) != 1 ||
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string readUntilClosed(int fd, int timeoutMs, bool* closed) {
  std::string text;
  *closed = false;
  pollfd entry{fd, POLLIN, 0};
  while (poll(&entry, 1, timeoutMs) > 0) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) {
      *closed = true;
      break;
    }
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

bool sendAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

int openDescriptors(int pid) {
  std::error_code error;
  std::filesystem::directory_iterator entries("/proc/" + std::to_string(pid) + "/fd", error);
  if (error) return -1;
  int count = 0;
  for (auto it = entries; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) return -1;
    ++count;
  }
  return count;
}

}  // namespace gsadmin::testing
