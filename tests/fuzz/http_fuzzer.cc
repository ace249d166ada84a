// Feeds raw request bytes to the panel's routes and the metrics route, as
// they would arrive on a connection: cut into requests as the client's
// servers cut them, then parsed and routed by the HTTP library over an
// in-memory stream, with no socket. One session (connected,
// with players and its moderation on a database of its own) serves
// kRunsPerSession inputs; a thread of the fuzzer plays its loop, running
// what the routes hand over.
//
// Input: a mode byte, then the bytes of one connection (up to kMostRequests
// requests, kept alive). Mode bits 0-1: who sends them (0 nobody logged in,
// 1 a moderator, 2 an operator, 3 an operator without the CSRF header):
// the login's cookie and CSRF header go after each request's first line.
// Bit 2: the metrics server instead of the panel's. Every request must be
// answered without a crash, and nothing may wait on the loop for long.

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "fuzz/fuzz_setup.h"
#include "fuzz/memory_stream.h"
#include "moderation/actor.h"
#include "panel/panel_reads.h"
#include "panel/request_frame.h"
#include "panel/server_limits.h"
#include "panel/web_context.h"
#include "support/session_harness.h"

namespace {

constexpr int kMostRequests = 8;
// Inputs one session serves: fewer than the other fuzzers' because every
// ban and audit line an input makes is read again by each later read of
// the bans and the audit.
constexpr int kRunsPerSession = 200;

// A server whose requests come from memory rather than a socket, each cut
// from the connection's bytes as the client's servers cut them before the
// library sees them: only a whole request within the caps is served.
class StreamServer : public httplib::Server {
 public:
  StreamServer() {
    set_payload_max_length(limits_.maxBodyBytes);
    // The library runs a streamed answer's provider only while it takes the
    // server for running, which it tells by its listening socket: this one
    // listens to nothing.
    svr_sock_ = ::socket(AF_INET, SOCK_STREAM, 0);
  }
  ~StreamServer() override {
    ::close(svr_sock_);
    svr_sock_ = INVALID_SOCKET;
  }

  // Serves the requests of `input`, each with `headers` spliced in after
  // its first line.
  void serve(std::string_view input, const std::string& headers) {
    gsadmin::RequestFrame frame(limits_.maxHeaderBytes, limits_.maxBodyBytes);
    for (int request = 0; request < kMostRequests && !input.empty(); ++request) {
      frame.reset();
      if (frame.measure(input) != gsadmin::FrameStatus::kComplete) return;
      gsadmin::fuzz::MemoryStream stream(input.substr(0, frame.size()), headers);
      input.remove_prefix(frame.size());
      bool closed = false;
      stream.beginRequest();
      if (!process_request(stream, false, closed, nullptr) || closed) return;
    }
  }

 private:
  gsadmin::ServerLimits limits_;
};

// What every input reuses: the session, the routes' shared state, the
// servers, two logins and the thread that plays the loop.
class Fixture {
 public:
  Fixture()
      : harness_(std::nullopt),
        signal_(std::make_shared<gsadmin::ChangeSignal>()),
        ring_(signal_),
        board_(signal_),
        queue_(harness_.clock()),
        context_(harness_.clock(), board_, ring_, queue_, harness_.session()),
        reads_(gsadmin::makePanelReads(harness_.clock(), harness_.session().database())) {
    context_.reads = reads_.get();
    gsadmin::AdminSession& session = harness_.session();
    harness_.connect(gsadmin::testing::ServerRecord(), {{1, "Ann"}, {2, "Bo"}, {7, "Cy"}});
    harness_.addPlayer(9, "Dee");
    board_.publish(std::make_shared<const gsadmin::Snapshot>(gsadmin::takeSnapshot(session)));
    ring_.append("a console line", false);
    ring_.append("an error line", true);
    context_.runTypedLine = [&session](const std::string& line, const gsadmin::Actor& actor) {
      session.handleTypedLine(line, actor);
    };
    gsadmin::RouteTable panel(panel_);
    gsadmin::addLoginRoutes(panel, context_);
    gsadmin::addReadRoutes(panel, context_);
    gsadmin::addHistoryRoutes(panel, context_);
    gsadmin::addChartRoutes(panel, context_);
    gsadmin::addActionRoute(panel, context_);
    gsadmin::addFleetRoute(panel, context_);
    gsadmin::addStreamRoute(panel, context_);
    gsadmin::addPageRoutes(panel, context_);
    gsadmin::addTokenRoutes(panel, context_);
    gsadmin::addAccountRoutes(panel, context_);
    gsadmin::RouteTable metrics(metrics_);
    gsadmin::addMetricsRoute(metrics, context_);
    harness_.output();
    harness_.sent();
    loop_ = std::thread([this]() { runLoop(); });
  }

  ~Fixture() {
    if (reads_) reads_->pool.stop();
    stopping_ = true;
    loop_.join();
  }

  void run(const uint8_t* data, size_t size) {
    if (size == 0) return;
    int who = data[0] & 3;
    std::string headers;
    if (who != 0) {
      const gsadmin::WebLogin& login =
          loginFor(who == 1 ? gsadmin::kModeratorLevel : gsadmin::kOperatorLevel);
      headers = std::string("Cookie: ") + gsadmin::kSessionCookie + "=" + login.token + "\r\n";
      if (who != 3) headers += std::string(gsadmin::kCsrfHeader) + ": " + login.csrf + "\r\n";
    }
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    auto began = std::chrono::steady_clock::now();
    ((data[0] & 4) != 0 ? metrics_ : panel_).serve(input, headers);
    // The loop runs all along: a request that waited for it in vain hung.
    if (std::chrono::steady_clock::now() - began >= gsadmin::kLoopAnswerTimeout) {
      std::fprintf(stderr, "a request waited for the loop until it gave up\n");
      std::abort();
    }
  }

 private:
  // The login of `level`, made again when a logout ended it.
  const gsadmin::WebLogin& loginFor(int level) {
    std::optional<gsadmin::WebLogin>& login = logins_[level == gsadmin::kModeratorLevel ? 0 : 1];
    if (!login || !context_.sessions.find(login->token)) {
      login = context_.sessions.create("fuzz" + std::to_string(level), level);
      if (!login) std::abort();
    }
    return *login;
  }

  // The loop: runs what the routes hand over, and drops what the session
  // printed and sent meanwhile.
  void runLoop() {
    pollfd entry{queue_.fd(), POLLIN, 0};
    while (!stopping_) {
      if (poll(&entry, 1, 20) <= 0) continue;
      queue_.runPending();
      harness_.output();
      harness_.errors();
      harness_.sent();
    }
  }

  gsadmin::testing::SessionHarness harness_;
  std::shared_ptr<gsadmin::ChangeSignal> signal_;
  gsadmin::ConsoleRing ring_;
  gsadmin::SnapshotBoard board_;
  gsadmin::LoopQueue queue_;
  gsadmin::WebContext context_;
  std::unique_ptr<gsadmin::PanelReads> reads_;
  StreamServer panel_;
  StreamServer metrics_;
  std::optional<gsadmin::WebLogin> logins_[2];
  std::atomic<bool> stopping_{false};
  std::thread loop_;
};

std::unique_ptr<Fixture> g_fixture;
int g_runs = 0;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  gsadmin::fuzz::enterWorkDirectory("http");
  // The loop's thread stops before anything it uses goes.
  std::atexit([] { g_fixture.reset(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!g_fixture || g_runs++ == kRunsPerSession) {
    g_fixture.reset();
    g_fixture = std::make_unique<Fixture>();
    g_runs = 1;
  }
  g_fixture->run(data, size);
  return 0;
}
