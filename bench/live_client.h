#ifndef GSADMIN_BENCH_LIVE_CLIENT_H_
#define GSADMIN_BENCH_LIVE_CLIENT_H_

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/server_messages.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"

namespace gsadmin::bench {

using testing::Datagram;
using testing::ListedPlayer;

// A script that counts "onPlayerPositionChange" in `handled` and answers the
// admin line "!count" with a chat line "handled=<count>".
extern const char kCountingScript[];

// The real gsadmin binary, logged in to a loopback peer that plays the game
// server. Owns both for its lifetime.
class LiveClient {
 public:
  // `readOutput` false sends the client's output to /dev/null. `options`
  // go before the address; `directory`, when given, is where the client
  // runs (the caller owns it). `program` is what runs: the client, or a
  // program that runs the one `options` name (such as prlimit).
  LiveClient(const std::optional<std::string>& script, bool readOutput,
             const std::vector<std::string>& options = {},
             const std::optional<std::string>& directory = std::nullopt,
             const std::string& program = testing::ClientProcess::defaultBinary());

  testing::LoopbackPeer& peer() { return peer_; }
  testing::ClientProcess& process() { return process_; }
  uint16_t clientPort() const;
  uint64_t logins() const { return logins_; }

  // Waits for the login, sends the acceptance (game 2, mode 1) listing
  // `players`, then a details reply for each, as a server answers the
  // client's requests: "details" for all, or with `detailsPrefix` that and
  // the player's name, one of each player's own. False when no login came.
  bool connect(const std::vector<ListedPlayer>& players, const std::string& detailsPrefix = "");

  // Sends a keep-alive request and reads what the client sends until the
  // answer arrives; every datagram before it has then been handled. False
  // after `timeoutMs` without the answer.
  bool sync(int timeoutMs = 10000);

  // Sends "!count" on the admin channel; the count the script reports, or
  // nothing after `timeoutMs`.
  std::optional<uint64_t> handledCount(int timeoutMs = 5000);

  // The next chat line the client sends that begins with `prefix`, without
  // the prefix; earlier chat lines are dropped. Nothing after `timeoutMs`.
  std::optional<std::string> nextChat(const std::string& prefix, int timeoutMs = 5000);

  // Sends a keep-alive request and returns at once; keepAlivesAnswered()
  // reads what came since, without waiting, and says whether every request
  // sent so far has had its answer. Unlike sync(), nothing of this process
  // waits on the socket when the answer comes: a peer on another machine
  // would not take the client's CPU by waking then.
  void requestKeepAlive();
  bool keepAlivesAnswered();

  // Keep-alive requests sent by sync() and requestKeepAlive() so far.
  uint64_t keepAlivesSent() const { return keepAlivesSent_; }

  // Reads and books whatever the client has sent, without waiting.
  void drain();

 private:
  // Books one datagram from the client; false for none.
  bool take(const std::optional<Datagram>& datagram);

  testing::LoopbackPeer peer_;
  testing::ClientProcess process_;
  uint64_t logins_ = 0;
  uint64_t keepAliveAnswers_ = 0;
  uint64_t keepAlivesSent_ = 0;
  std::deque<std::string> chats_;
};

// One round of a client draining a backlog: datagrams handled per second
// of wall-clock time, and per second its loop's thread spent on a CPU
// (which other programs on the machine do not inflate); zeros when it did
// not answer.
struct DrainRound {
  double wallRate = 0;
  double loopCpuRate = 0;
};

// Stops the client (SIGSTOP), queues `batch` for it, lets it go on and
// times it until it has answered a keep-alive sent after them.
DrainRound drainRound(LiveClient& client, const std::vector<Datagram>& batch);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_LIVE_CLIENT_H_
