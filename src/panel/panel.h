#ifndef GSADMIN_PANEL_PANEL_H_
#define GSADMIN_PANEL_PANEL_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/console.h"
#include "panel/change_signal.h"
#include "panel/console_ring.h"
#include "panel/listen_address.h"
#include "panel/loop_queue.h"
#include "panel/route_entry.h"
#include "panel/snapshot.h"
#include "panel/trusted_proxies.h"
#include "panel/typed_line.h"
#include "panel/users_file.h"

namespace gsadmin {

class FleetDesk;
class SessionContext;
class StreamHub;
class WebServer;
struct PanelReads;
struct PublicContext;
struct PublicReads;
struct WebContext;

// What the options asked of the panel and the metrics.
struct PanelSettings {
  std::optional<ListenAddress> http;  // none: no panel
  std::optional<std::string> certFile;
  std::optional<std::string> keyFile;  // with certFile: HTTPS
  std::vector<PanelAccount> accounts;
  // The file they came from: read again by reloadAccounts(), and where a
  // used recovery code is struck out.
  std::string usersFile;
  int requireTotpLevel = 0;  // --require-totp; 0: a code only once enrolled
  // The API tokens' file (api_tokens.h); none: no tokens are accepted.
  std::optional<std::string> tokensFile;
  // --revoke-tokens-on-change: a reload that changes an account's password,
  // role or code secret also revokes its tokens.
  bool revokeTokensOnChange = false;
  std::optional<ListenAddress> metrics;  // none: no metrics
  // The public ban record and appeals (--public); none: off. HTTPS with
  // certFile and keyFile, as the panel's.
  std::optional<ListenAddress> publicAddress;
  // --public-trusted-proxy: the peers whose X-Forwarded-For names the
  // client on the public listener; none by default.
  TrustedProxies publicProxies;
};

// The web panel, the metrics endpoint and the public ban record of one
// session. The session owns
// it and drives it from its loop; the HTTP servers run on threads of their
// own and reach the session only through the loop queue and the snapshots.
class Panel {
 public:
  explicit Panel(PanelSettings settings);
  ~Panel();
  Panel(const Panel&) = delete;
  Panel& operator=(const Panel&) = delete;

  // Wraps the session's console so that the panel's streams see every
  // line. Call before the session is made.
  std::unique_ptr<Console> wrapConsole(std::unique_ptr<Console> inner);

  // Binds the servers and starts their threads; prints one line with the
  // address of each. A server that cannot start is said in one line of
  // standard error and left off; the client goes on. `session` must
  // outlive the panel (or stop()); `runTypedLine` is called on the loop.
  // `fleet`, on a shared database, carries the acts on other servers'
  // players; it must outlive the panel too.
  void start(SessionContext& session, TypedLineRunner runTypedLine, FleetDesk* fleet = nullptr);
  // The eventfd the loop's wait watches; -1 when nothing runs.
  int wakeFd() const;
  // On the loop after each pass: runs the work the HTTP threads handed
  // over and writes the event streams' keep-alives due; then offers the snapshot of the model for
  // publication (see SnapshotPublisher).
  void runPending();
  void offer(Snapshot snapshot);
  // On the loop after SIGHUP: reads the users file again and takes its
  // accounts, ending the logins of every account removed or whose password,
  // level or one-time secret changed; says so on `console` in one line. A
  // file that no longer reads is said and the accounts stay as they were.
  void reloadAccounts(Console& console);
  // Whether the panel or the metrics serve; the loop need not build
  // snapshots otherwise (the public ban record reads none).
  bool running() const;
  // Milliseconds until afterPass() has a held-back snapshot to publish.
  std::optional<uint64_t> msUntilWork(uint64_t nowMs) const;
  // The routes the panel's and the metrics' servers answer, as started:
  // what the API's documentation must describe.
  std::vector<RouteEntry> routes() const;
  // The public listener's routes, as started; none without --public.
  std::vector<RouteEntry> publicRoutes() const;
  // Ends the streams and the reads, stops the servers and joins their
  // threads; the work still queued is refused. Called at the end of the
  // loop; idempotent.
  void stop();

 private:
  // The panel's or the metrics' server, bound and serving; null when it
  // could not start (said on standard error).
  std::unique_ptr<WebServer> startServer(SessionContext& session, const ListenAddress& address,
                                         bool panel);
  // The public listener, bound and serving; null when it could not start.
  std::unique_ptr<WebServer> startPublic(SessionContext& session);

  PanelSettings settings_;
  std::shared_ptr<ChangeSignal> signal_;
  std::shared_ptr<ConsoleRing> ring_;
  SnapshotBoard board_;
  SnapshotPublisher publisher_;
  std::unique_ptr<LoopQueue> queue_;     // made by start(), on the session's clock
  std::unique_ptr<WebContext> context_;  // made by start()
  // Made by start() while the moderation is on; outlives the servers.
  std::unique_ptr<PanelReads> reads_;
  // The event streams; made by start() with the panel, stopped first.
  std::unique_ptr<StreamHub> hub_;
  std::unique_ptr<WebServer> web_;
  std::unique_ptr<WebServer> metrics_;
  // The public listener's: made by start() with --public, apart from the
  // panel's; its reads while the moderation is on.
  std::unique_ptr<PublicContext> publicContext_;
  std::unique_ptr<PublicReads> publicReads_;
  std::unique_ptr<WebServer> public_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_PANEL_H_
