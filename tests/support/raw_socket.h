#ifndef GSADMIN_TESTS_SUPPORT_RAW_SOCKET_H_
#define GSADMIN_TESTS_SUPPORT_RAW_SOCKET_H_

#include <string>

namespace gsadmin::testing {

// A TCP connection to 127.0.0.1:port, from the loopback address `source`
// when given (any of 127.0.0.0/8 works on Linux); -1 when it cannot
// connect. The caller closes it.
int connectTo(int port, const char* source = nullptr);

// The same connection left non-blocking, from `source` when not empty;
// -1 when it is not made within `timeoutMs` (a full listen queue).
int connectFrom(int port, const std::string& source, int timeoutMs);

// Everything the peer sends until it closes the connection (or resets it)
// or `timeoutMs` passes without a byte; `closed` tells which.
std::string readUntilClosed(int fd, int timeoutMs, bool* closed);

// Sends `text` whole; false when the peer closed or reset the connection.
bool sendAll(int fd, const std::string& text);

// The number of descriptors the process `pid` has open; -1 when unknown.
int openDescriptors(int pid);

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_RAW_SOCKET_H_
