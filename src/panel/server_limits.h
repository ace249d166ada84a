#ifndef GSADMIN_PANEL_SERVER_LIMITS_H_
#define GSADMIN_PANEL_SERVER_LIMITS_H_

#include <chrono>
#include <cstddef>
#include <functional>
#include <string_view>

namespace gsadmin {

// Everything a web server of the client holds to, whoever connects: the
// one home of these numbers (docs/panel.md lists them).
struct ServerLimits {
  // Connections at once, in all and from one address (an IPv6 /64 is one
  // address). At either cap the connection idle longest gives way to the
  // new one; when every connection has a request in progress the new one
  // is refused with 503.
  size_t maxConnections = 128;
  size_t maxPerAddress = 32;
  // Descriptors left to the rest of the client (scripts' files and
  // sockets, the database): a connection whose descriptor would eat into
  // them is refused.
  int descriptorReserve = 128;
  // Bytes of a request's line and headers (past them: 431), and of its
  // body (past them: 413).
  size_t maxHeaderBytes = 64 * 1024;
  size_t maxBodyBytes = 64 * 1024;
  // A connection with no request in progress is closed after `idle`; a
  // request's headers must arrive within `headers` of its first byte (a
  // TLS handshake within it of the connection), its body within `body` of
  // its headers.
  std::chrono::milliseconds idle{5000};
  std::chrono::milliseconds headers{10000};
  std::chrono::milliseconds body{10000};
  // An answer must be written within `answer` of its request's arrival
  // (event streams excepted), and no single write may wait longer than
  // `writeStall`.
  std::chrono::milliseconds answer{15000};
  std::chrono::milliseconds writeStall{5000};
  // Requests one connection may make before it is closed.
  size_t requestsPerConnection = 100;
  // Threads that answer requests. Idle connections hold none; 16 is more
  // than the panel's reads may have in flight at once, so slow reads never
  // hold every thread.
  size_t workers = 16;
  // Threads of their own for requests that last (event streams), so that
  // they never take the workers; 0 without such requests. `lasting` says
  // which they are, by the request's method and raw target.
  size_t lastingWorkers = 0;
  std::function<bool(std::string_view method, std::string_view target)> lasting;
  // The names of the server's threads (literals), as the system shows them.
  const char* acceptName = "http-accept";
  const char* lobbyName = "http-lobby";
  const char* workerName = "http-worker";
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_SERVER_LIMITS_H_
