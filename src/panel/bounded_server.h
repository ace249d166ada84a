#ifndef GSADMIN_PANEL_BOUNDED_SERVER_H_
#define GSADMIN_PANEL_BOUNDED_SERVER_H_

#include <httplib.h>

#include <chrono>

#include "panel/bounded_stream.h"

namespace gsadmin {

// The HTTP library's servers with the connection handling replaced: each
// connection is a BoundedStream, so that besides the library's read, write
// and keep-alive time-outs (set as usual) a request must arrive in full
// within `requestLimit` of its first byte, and a TLS handshake within it
// of the connection. The library's read time-out alone restarts at every
// byte, so a client that trickles its headers would hold a thread for as
// long as it liked. Everything else (routes, the pool, stop()) is the
// library's.
class BoundedServer : public httplib::Server {
 public:
  explicit BoundedServer(std::chrono::milliseconds requestLimit);

 private:
  bool process_and_close_socket(int sock) override;

  std::chrono::milliseconds requestLimit_;
};

class BoundedSslServer : public httplib::SSLServer {
 public:
  // Check is_valid(): the files may not load.
  BoundedSslServer(const char* certFile, const char* keyFile,
                   std::chrono::milliseconds requestLimit);

 private:
  bool process_and_close_socket(int sock) override;

  std::chrono::milliseconds requestLimit_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_BOUNDED_SERVER_H_
