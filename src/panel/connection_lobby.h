#ifndef GSADMIN_PANEL_CONNECTION_LOBBY_H_
#define GSADMIN_PANEL_CONNECTION_LOBBY_H_

#include <httplib.h>
#include <openssl/ssl.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "panel/connection.h"
#include "panel/server_limits.h"
#include "panel/worker_pool.h"

namespace gsadmin {

// Where a web server's connections wait while they have no request to be
// answered: one thread watches them all with epoll, gathers each request's
// bytes until it is whole (TLS handshakes included), and only then hands
// the connection to a worker, which gives it back after the answer. So an
// idle or slow connection costs a few kilobytes and no thread, and the
// lobby keeps every limit of ServerLimits: the caps on connections (making
// room by closing the connection idle longest), on descriptors, on header
// and body bytes, and the time-outs.
class ConnectionLobby {
 public:
  // The HTTP library's handling of one request: reads it from the stream,
  // routes it and writes the answer; `last` asks it to close the
  // connection after, and it sets `closed` when it did. False on failure.
  using Process = std::function<bool(httplib::Stream& stream, bool last, bool& closed)>;

  // What takes a connection whose answer goes on after the library is done
  // with its request: its socket and TLS state, the headers written.
  using Taker = std::function<void(std::unique_ptr<Connection>)>;

  // For a TLS server, `tls` is its context (else null).
  ConnectionLobby(ServerLimits limits, SSL_CTX* tls, Process process);
  ~ConnectionLobby();  // stop()
  ConnectionLobby(const ConnectionLobby&) = delete;
  ConnectionLobby& operator=(const ConnectionLobby&) = delete;

  // Starts the lobby's thread and the workers. False, with the reason in
  // *error, when the system refuses.
  bool start(std::string* error);
  // Takes the accepted socket `fd` from any thread; it is closed when
  // refused or done.
  void admit(int fd);
  // Closes every connection and joins the threads, after the requests in
  // progress were answered; idempotent.
  void stop();
  // From a route's handler, on the worker answering: once the library has
  // written the answer's headers and returned, the connection goes to
  // `taker` instead of back to the lobby (or closes, when a write failed).
  // False when this thread answers no request.
  bool claim(Taker taker);

 private:
  struct Entry {
    std::unique_ptr<Connection> connection;  // null while at a worker
    std::string peer;
    // Admitted before every entry of a higher number: connections taken
    // in one batch share their times, and the older still goes first.
    uint64_t admitted = 0;
  };

  void run();
  void takeQueued(SteadyTime now);
  void admitOne(int fd, SteadyTime now);
  bool makeRoom(const std::string* peer);
  void refuse(int fd);
  void watch(int fd, bool add, bool writing);
  void service(int fd, SteadyTime now);
  void answerAndClose(int fd, SteadyTime now, int status, const char* reason, const char* message);
  void handOff(int fd, SteadyTime now);
  void closeEntry(int fd);
  // Closes the connections past their time; the nearest time left, if any.
  std::optional<SteadyTime> expire(SteadyTime now);
  std::optional<SteadyTime> deadlineOf(const Connection& connection) const;
  // On a worker's thread.
  void serve(std::unique_ptr<Connection> connection);
  void handBack(std::unique_ptr<Connection> connection);
  void wakeLobby();

  ServerLimits limits_;
  SSL_CTX* tls_;
  Process process_;
  int epoll_ = -1;
  int wake_ = -1;  // an eventfd: something is queued, or stop
  int descriptorCeiling_ = 0;

  std::mutex mutex_;                 // guards the members below
  std::condition_variable drained_;  // the lobby took the incoming sockets
  std::vector<int> incoming_;
  std::vector<std::unique_ptr<Connection>> returned_;
  std::vector<int> released_;  // taken for good: their entries go
  bool stopping_ = false;
  // The workers answering a request, each with its claim (empty: none).
  std::unordered_map<std::thread::id, Taker> serving_;

  // The lobby's thread alone uses these.
  std::unordered_map<int, Entry> entries_;
  uint64_t admissions_ = 0;
  std::unordered_map<std::string, size_t> perPeer_;

  std::unique_ptr<WorkerPool> workers_;
  std::unique_ptr<WorkerPool> lasting_;
  std::thread thread_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_CONNECTION_LOBBY_H_
