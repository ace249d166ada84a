#ifndef GSADMIN_PANEL_CONNECTION_H_
#define GSADMIN_PANEL_CONNECTION_H_

#include <openssl/ssl.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "panel/request_frame.h"

namespace gsadmin {

using SteadyTime = std::chrono::steady_clock::time_point;

// One accepted connection of a web server: its non-blocking socket (owned,
// closed on destruction), its TLS state, and the bytes it sent that no
// request has used yet. One thread uses it at a time: the lobby while it
// waits for a request, then a worker while that request is answered.
class Connection {
 public:
  // What a read or a handshake step came to.
  enum class Progress {
    kDone,       // the handshake completed; for reads: bytes were added
    kWantRead,   // nothing more for now: wait until readable
    kWantWrite,  // TLS must write first: wait until writable
    kClosed,     // the peer closed (reads)
    kFailed,     // an error: close the connection
  };

  // A connection on `fd`, made non-blocking; TLS with `context` unless
  // null, the handshake still to come; its requests framed with `frame`.
  // Nothing when `fd` cannot be set up (it is then closed).
  static std::unique_ptr<Connection> make(int fd, SSL_CTX* context, std::string peer,
                                          RequestFrame frame, SteadyTime now);
  // Use make(); takes `fd` and `ssl` (may be null).
  Connection(int fd, SSL* ssl, std::string peer, RequestFrame frame, SteadyTime now);
  ~Connection();  // a TLS connection sends its close notification
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  int fd() const { return fd_; }
  const std::string& peer() const { return peer_; }
  bool handshaken() const { return !ssl_ || handshaken_; }
  // One step of the TLS handshake, without blocking.
  Progress handshake();
  // Reads what has arrived, up to `room` more bytes, into pending().
  Progress readAvailable(size_t room);
  // Whether bytes wait in the system's buffer that readAvailable() has not
  // taken yet: a request sent, about to be read.
  bool bytesWaiting() const;
  std::string& pending() { return pending_; }
  // Writes all `size` bytes by `deadline` (if any), no wait on the socket
  // longer than `stall`. False on failure or time-out.
  bool writeAll(const char* data, size_t size, std::optional<SteadyTime> deadline,
                std::chrono::milliseconds stall);
  // Writes what the socket takes now of `size` bytes, never waiting; the
  // count taken is added to *written. kDone when all went, kWantWrite or
  // kWantRead (TLS) when the rest must wait for that, kFailed on error. A
  // TLS write that had to wait must be made again with the same bytes.
  Progress writeSome(const char* data, size_t size, size_t* written);
  // Whether a write could go ahead within `stall`.
  bool writable(std::chrono::milliseconds stall) const;
  // One try at writing a short answer whole, for a connection about to close.
  void writeOnce(std::string_view text);

  // The lobby's bookkeeping.
  RequestFrame frame;
  SteadyTime connectedAt;
  SteadyTime lastActive;                    // the last byte or the last answer
  std::optional<SteadyTime> requestStart;   // the first byte of this request
  std::optional<SteadyTime> headersDoneAt;  // its headers' end
  std::optional<SteadyTime> answerBy;       // none for an event stream
  // Refused and closing: what still comes is read and dropped until then,
  // so that the refusal is not lost to a reset.
  std::optional<SteadyTime> closingBy;
  size_t served = 0;  // requests answered
  bool keep = true;   // false: to be closed

 private:
  // One TLS read or write, waiting as OpenSSL asks; see writeAll().
  bool tlsWrite(const char* data, size_t size, std::optional<SteadyTime> deadline,
                std::chrono::milliseconds stall);

  struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
  };

  int fd_;
  std::unique_ptr<SSL, SslFree> ssl_;  // null for plain HTTP
  bool handshaken_ = false;
  std::string peer_;
  std::string pending_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_CONNECTION_H_
