#ifndef GSADMIN_TESTS_SUPPORT_SESSION_HARNESS_H_
#define GSADMIN_TESTS_SUPPORT_SESSION_HARNESS_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "session/admin_session.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "sim/server_messages.h"
#include "support/stdout_capture.h"

namespace gsadmin::testing {

// An in-process session with a hand-driven clock, talking over a real
// loopback socket to a LoopbackPeer. The constructor writes `script` (if
// any) as script.lua into a temporary working directory, captures standard
// output, makes the session current and runs start(). Everything is undone
// on destruction (working directory, current session, standard output).
class SessionHarness {
 public:
  explicit SessionHarness(const std::optional<std::string>& script = std::nullopt,
                          const std::string& adminName = "Admin",
                          const std::string& adminPassword = "73519");
  ~SessionHarness();
  SessionHarness(const SessionHarness&) = delete;
  SessionHarness& operator=(const SessionHarness&) = delete;

  AdminSession& session() { return *session_; }
  LoopbackPeer& peer() { return peer_; }
  ManualClock& clock() { return clock_; }
  bool started() const { return started_; }

  // Console output since the previous call.
  std::string output() { return capture_->take(); }
  // Everything the client sent and the peer has not read yet.
  std::vector<Datagram> sent() { return peer_.drain(); }

  // Sends the datagrams from the peer, then polls once.
  void deliver(const Datagram& datagram);
  void deliver(const std::vector<Datagram>& datagrams);

  // Moves time on by 1 ms and polls, which sends the login; the peer reads it.
  void login();
  // login(), then the server's acceptance with these players; the details
  // requests stay unread at the peer. Console output is left unread too.
  void connect(const ServerRecord& record = ServerRecord(),
               const std::vector<ListedPlayer>& players = {});
  // Sends a join and the details reply for it, so the player is known.
  void addPlayer(uint8_t id, const std::string& name);

 private:
  ManualClock clock_;
  LoopbackPeer peer_;
  TempDir dir_;
  std::string previousDir_;
  std::unique_ptr<StdoutCapture> capture_;
  std::unique_ptr<AdminSession> session_;
  bool started_ = false;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_SESSION_HARNESS_H_
