#ifndef GSADMIN_TESTS_SUPPORT_SESSION_HARNESS_H_
#define GSADMIN_TESTS_SUPPORT_SESSION_HARNESS_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/defaults.h"
#include "session/admin_session.h"
#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "support/manual_clock.h"
#include "support/recording_console.h"

namespace gsadmin::testing {

// How a harness's session meets its server.
enum class Transport {
  kInMemory,  // datagrams are handed to the session and recorded from it
  kLoopback,  // a real socket talks to a LoopbackPeer on 127.0.0.1
};

// Changes the settings a harness's session is made with (the moderation's,
// say) after the harness has set its own.
using SettingsTweak = std::function<void(SessionSettings&)>;

// An in-process session with a hand-driven clock and a recording console.
// The constructor writes `script` (if any) as script.lua into a temporary
// directory, points the session at it and runs start(). Everything is undone on destruction.
class SessionHarness {
 public:
  explicit SessionHarness(const std::optional<std::string>& script = std::nullopt,
                          const std::string& adminName = defaults::kAdminName,
                          const std::string& adminPassword = defaults::kAdminPassword,
                          Transport transport = Transport::kInMemory,
                          const SettingsTweak& tweak = nullptr);
  ~SessionHarness();
  SessionHarness(const SessionHarness&) = delete;
  SessionHarness& operator=(const SessionHarness&) = delete;

  AdminSession& session() { return *session_; }
  // Only with Transport::kLoopback.
  LoopbackPeer& peer() { return *peer_; }
  ManualClock& clock() { return clock_; }
  bool started() const { return started_; }
  // The server port in the settings (the peer's, under kLoopback).
  uint16_t port() const { return port_; }
  // The script path the session loads, as its lines name it.
  const std::string& scriptPath() const { return scriptPath_; }
  // The temporary directory the script and its database are in.
  const std::string& directory() const { return dir_.path(); }

  // The session's console.
  RecordingConsole& console() { return *console_; }
  // Console output since the previous call.
  std::string output() { return console_->takeOutput(); }
  // Diagnostics on standard error since the previous call.
  std::string errors() { return console_->takeErrors(); }
  // Everything the client sent and was not read yet.
  std::vector<Datagram> sent();

  // Hands the datagrams to the session (or sends them from the peer), then
  // polls once.
  void deliver(const Datagram& datagram);
  void deliver(const std::vector<Datagram>& datagrams);

  // Moves time on by 1 ms and polls, which sends the login; it is read.
  void login();
  // login(), then the server's acceptance with these players; the details
  // requests stay unread. Console output is left unread too.
  void connect(const ServerRecord& record = ServerRecord(),
               const std::vector<ListedPlayer>& players = {});
  // Sends a join and the details reply for it, so the player is known.
  void addPlayer(uint8_t id, const std::string& name);

 private:
  ManualClock clock_;
  std::unique_ptr<LoopbackPeer> peer_;
  RecordingSink sink_;
  RecordingConsole* console_ = nullptr;  // owned by the session
  TempDir dir_;
  std::string scriptPath_;
  uint16_t port_ = defaults::kAdminPort;
  std::unique_ptr<AdminSession> session_;
  bool started_ = false;
};

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_SESSION_HARNESS_H_
