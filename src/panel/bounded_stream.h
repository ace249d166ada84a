#ifndef GSADMIN_PANEL_BOUNDED_STREAM_H_
#define GSADMIN_PANEL_BOUNDED_STREAM_H_

#include <httplib.h>
#include <openssl/ssl.h>

#include <array>
#include <chrono>
#include <memory>
#include <optional>

namespace gsadmin {

// The time limits of one connection to a web server.
struct ConnectionLimits {
  std::chrono::milliseconds readTimeout{5000};   // one read's wait
  std::chrono::milliseconds writeTimeout{5000};  // one write's wait
  // A request (and a TLS handshake) must have arrived in full this long
  // after it began, however steadily its bytes trickle in.
  std::chrono::milliseconds requestLimit{10000};
};

// One accepted connection, plain or TLS, as the HTTP library's stream.
// Unlike the library's own streams, every read fails once the request it
// belongs to is past its limit (see startRequest()), so that a client that
// sends a byte now and then cannot hold a server thread. The socket is
// non-blocking; every wait is a poll() bounded by the limits.
class BoundedStream : public httplib::Stream {
 public:
  // A plain stream on `fd`, which it neither owns nor closes.
  static std::unique_ptr<BoundedStream> plain(int fd, const ConnectionLimits& limits);
  // A TLS stream on `fd` whose handshake with `context` completed within
  // the request limit; nothing when it failed or took longer.
  static std::unique_ptr<BoundedStream> tls(int fd, SSL_CTX* context,
                                            const ConnectionLimits& limits);
  // Use plain() or tls(); takes `ssl` (may be null).
  BoundedStream(int fd, SSL* ssl, const ConnectionLimits& limits);
  ~BoundedStream() override;  // a TLS stream sends its close notification
  BoundedStream(const BoundedStream&) = delete;
  BoundedStream& operator=(const BoundedStream&) = delete;

  // A new request begins now: its reads must be done within the limit.
  void startRequest();
  // Whether a read of this request was refused for its limit: the
  // connection must then close, or the client would trickle on into a
  // request after the library's answer to the cut one.
  bool overran() const { return overran_; }

  // Whether bytes are ready to read, or come within `timeout` (regardless
  // of the request's limit): for the wait between requests.
  bool waitReadable(std::chrono::milliseconds timeout) const;

  // Whether the stream has bytes to read, or gets them within the read
  // timeout and the request's limit.
  bool is_readable() const override;
  bool is_writable() const override;
  // At most `size` bytes; -1 after the time-outs, the limit or an error,
  // 0 when the peer closed.
  ssize_t read(char* ptr, size_t size) override;
  // All `size` bytes, or -1.
  ssize_t write(const char* ptr, size_t size) override;
  using httplib::Stream::write;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  int socket() const override { return fd_; }

 private:
  bool hasBuffered() const;
  // Whether the request is past its limit; notes it in overran_.
  bool pastReadDeadline() const;
  // One TLS read or write; waits as OpenSSL asks. -1 on failure, 0 at the
  // peer's close (reads).
  ssize_t tlsTransfer(char* ptr, size_t size, bool reading);
  ssize_t fill();  // refills buffer_ from the socket

  struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
  };

  int fd_;
  std::unique_ptr<SSL, SslFree> ssl_;  // null for a plain stream
  ConnectionLimits limits_;
  std::optional<std::chrono::steady_clock::time_point> readDeadline_;
  mutable bool overran_ = false;
  // Plain reads go through a buffer: the library reads headers bytewise.
  std::array<char, 4096> buffer_{};
  size_t buffered_ = 0;
  size_t offset_ = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_BOUNDED_STREAM_H_
