#ifndef GSADMIN_TESTS_SUPPORT_DOOR_FLOOD_H_
#define GSADMIN_TESTS_SUPPORT_DOOR_FLOOD_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/panel_client.h"

namespace gsadmin::testing {

// What a flood on every door of a client's panel and metrics port is made
// of. Each attacker keeps its pressure up: a connection the client closes
// is opened again.
struct DoorFloodPlan {
  int panelPort = 0;
  int metricsPort = 0;  // 0: the metrics port is left alone
  // Connections that never send a byte, spread over the two ports.
  int idleConnections = 1000;
  // Connections sending header lines without end; a quarter as many again
  // on the metrics port.
  int headerFloods = 16;
  // Threads each trying a wrong password for `loginAccount` again as soon
  // as answered, from rotating loopback addresses.
  int wrongLogins = 200;
  std::string loginAccount = "alice";
  // Threads each reading the day's charts again as soon as answered, as
  // `reader`.
  int chartReaders = 40;
  // Event streams held open by `reader`.
  int streams = 50;
  WebUser reader;
};

// Counts of what the client answered, for the figures and the checks.
struct DoorFloodCounts {
  std::atomic<uint64_t> loginsRefused{0};    // 401: a guess was checked
  std::atomic<uint64_t> loginsThrottled{0};  // 429: not checked
  std::atomic<uint64_t> loginsOther{0};      // anything else, or no answer
  std::atomic<uint64_t> chartAnswers{0};     // 200
  std::atomic<uint64_t> chartRefused{0};     // any other status, or none
  std::atomic<uint64_t> streamsOpened{0};
  // Streams open at once: now, and the most at any moment. A stream the
  // client ends (its reader too slow) may be opened again.
  std::atomic<uint64_t> streamsOpen{0};
  std::atomic<uint64_t> streamsPeak{0};
  std::atomic<uint64_t> streamsRefused{0};
  std::atomic<uint64_t> headerFloodsEnded{0};  // the client closed or answered
};

// The attackers of a DoorFloodPlan, each on threads of its own, from
// start() to stop() (or destruction). Raises this process's descriptor
// limit to its hard limit, so start the client first if it should keep its
// own.
class DoorFlood {
 public:
  explicit DoorFlood(DoorFloodPlan plan);
  ~DoorFlood();
  DoorFlood(const DoorFlood&) = delete;
  DoorFlood& operator=(const DoorFlood&) = delete;

  void start();
  // Ends every attacker and joins its thread; idempotent.
  void stop();
  const DoorFloodCounts& counts() const { return counts_; }

 private:
  void holdIdle();
  void floodHeaders(int port);
  void guessPasswords(int index);
  void readCharts();
  void holdStream();

  DoorFloodPlan plan_;
  DoorFloodCounts counts_;
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> threads_;
};

// One HTTP/1.1 request over a fresh loopback connection from `source`
// (127.0.0.1 when empty) to `port`: the status of the answer, or -1 when
// none came within `timeoutMs`.
int rawRequest(int port, const std::string& request, int timeoutMs,
               const std::string& source = std::string());

// A TCP port of 127.0.0.1 that was free a moment ago, for a client told to
// listen on it; 0 when none could be had.
int unusedLoopbackPort();

// Adds `rows` chat lines of the last day, from 500 players, to the
// moderation's SQLite database at `path`. False when it could not.
bool addChatLines(const std::string& path, int rows);

// The text of a request with `method`, `path`, a JSON `body` (none when
// empty) and extra header lines (each ending in "\r\n").
std::string requestText(const std::string& method, const std::string& path,
                        const std::string& headers = std::string(),
                        const std::string& body = std::string());

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_DOOR_FLOOD_H_
