#ifndef GSADMIN_SESSION_ONE_SHOT_WATCH_H_
#define GSADMIN_SESSION_ONE_SHOT_WATCH_H_

#include <cstdint>
#include <optional>

#include "protocol/wire.h"

namespace gsadmin {

// Why AdminSession::run() ended.
enum class SessionEnd {
  kStopped,             // a signal, ".quit" or the end of the input
  kNotConnectedInTime,  // no server accepted the login within the connect timeout
  kLoginRefused,        // the server refused the login before accepting one
};

// What a one-shot run (piped commands, ending with its input) waits for,
// on hand-given times in milliseconds: the first accepted login, within a
// connect timeout, and the server's answer to the commands it sent.
//
// "Answered" means that a datagram other than a keep-alive request arrived
// after the last command's datagram was sent: the server handles datagrams
// in order, so it has then seen every command. The protocol has no reply
// of its own to a command (a chat frame is echoed, a kick shows as the
// player leaving, an unknown player as nothing at all), so after
// kAnswerWaitMs the commands count as answered anyway.
class OneShotWatch {
 public:
  static constexpr uint64_t kAnswerWaitMs = 2000;

  // Starts the connect timeout at nowMs; 0 never gives up.
  void start(uint64_t connectTimeoutMs, uint64_t nowMs);

  // A datagram with this message id arrived from the server. Inline: said
  // of every datagram.
  void datagramReceived(uint8_t messageId) {
    if (messageId == wire::kConnectionAcceptedId) accepted_ = true;
    // Before the first acceptance every disconnect message refuses the login.
    if (messageId == wire::kDisconnectId && !accepted_) refused_ = true;
    if (messageId != wire::kKeepAliveRequestId) unansweredSinceMs_.reset();
  }
  // A typed command sent one or more datagrams.
  void commandSent(uint64_t nowMs);

  // The login's failure once there is one: refused before any acceptance,
  // or no acceptance when the connect timeout has passed. Never after an
  // acceptance, and never with a connect timeout of 0.
  std::optional<SessionEnd> loginFailure(uint64_t nowMs) const;
  // True when no command waits for its answer any more.
  bool commandsAnswered(uint64_t nowMs) const;
  // Milliseconds until one of the answers above changes with time alone;
  // none when none will.
  std::optional<uint64_t> msUntilChange(uint64_t nowMs) const;

  uint64_t connectTimeoutMs() const { return connectTimeoutMs_; }

 private:
  uint64_t connectTimeoutMs_ = 0;
  uint64_t startMs_ = 0;
  bool accepted_ = false;
  bool refused_ = false;
  std::optional<uint64_t> unansweredSinceMs_;  // the last command sent, not yet answered
};

}  // namespace gsadmin

#endif  // GSADMIN_SESSION_ONE_SHOT_WATCH_H_
