#include "panel/panel.h"

#include "context/session_context.h"
#include "moderation/moderation.h"
#include "panel/panel_reads.h"
#include "panel/password_hash.h"
#include "panel/public_site.h"
#include "panel/stream_hub.h"
#include "panel/web_context.h"
#include "panel/web_server.h"

namespace gsadmin {
namespace {

// The panel's limits: the defaults. An event stream's request is answered
// by a worker like any other; the stream hub takes it after the headers.
ServerLimits panelLimits() {
  ServerLimits limits;
  limits.acceptName = "panel-accept";
  limits.lobbyName = "panel-lobby";
  limits.workerName = "panel-worker";
  return limits;
}

// A scraper or two is all the metrics serve.
ServerLimits metricsLimits() {
  ServerLimits limits;
  limits.maxConnections = 16;
  limits.maxPerAddress = 8;
  limits.maxHeaderBytes = 16 * 1024;
  limits.maxBodyBytes = 0;
  limits.workers = 2;
  limits.acceptName = "metrics-accept";
  limits.lobbyName = "metrics-lobby";
  limits.workerName = "metrics-worker";
  return limits;
}

// Headers of every answer: nothing may frame, sniff or load from elsewhere.
httplib::Headers safetyHeaders() {
  return {{"X-Content-Type-Options", "nosniff"},
          {"X-Frame-Options", "DENY"},
          {"Referrer-Policy", "no-referrer"},
          {"Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'"}};
}

void addFallbacks(httplib::Server& server) {
  server.set_default_headers(safetyHeaders());
  server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty()) {
      sendError(response, response.status, response.status == 404 ? "not found" : "refused");
    }
  });
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        sendError(response, 500, "internal error");
      });
}

// One warning for each account that --require-totp keeps out until it
// enrols, so that the operator learns it before its admin does.
void warnUnenrolled(const std::vector<PanelAccount>& accounts, int requireLevel, Console& console) {
  if (requireLevel <= 0) return;
  for (const PanelAccount& account : accounts) {
    if (account.level >= requireLevel && !account.totpSecret) {
      console.errorLine("gsadmin: warning: --require-totp: " + account.name +
                        " cannot log in to the panel until enrolled with --enroll-totp");
    }
  }
}

}  // namespace

Panel::Panel(PanelSettings settings)
    : settings_(std::move(settings)),
      signal_(std::make_shared<ChangeSignal>()),
      ring_(std::make_shared<ConsoleRing>(signal_)),
      board_(signal_),
      publisher_(board_) {}

Panel::~Panel() {
  stop();
}

std::unique_ptr<Console> Panel::wrapConsole(std::unique_ptr<Console> inner) {
  return std::make_unique<RingConsole>(std::move(inner), ring_);
}

std::vector<RouteEntry> Panel::routes() const {
  std::vector<RouteEntry> all;
  for (const WebServer* server : {web_.get(), metrics_.get()}) {
    if (!server) continue;
    const std::vector<RouteEntry>& entries = server->routes().entries();
    all.insert(all.end(), entries.begin(), entries.end());
  }
  return all;
}

std::vector<RouteEntry> Panel::publicRoutes() const {
  return public_ ? public_->routes().entries() : std::vector<RouteEntry>{};
}

void Panel::start(SessionContext& session, TypedLineRunner runTypedLine, FleetDesk* fleet) {
  queue_ = std::make_unique<LoopQueue>(session.clock());
  ring_->stampWith(&session.clock());
  context_ = std::make_unique<WebContext>(session.clock(), board_, *ring_, *queue_, session);
  context_->runTypedLine = std::move(runTypedLine);
  context_->fleet = fleet;
  context_->accounts.setUsersFile(settings_.usersFile);
  context_->accounts.replace(settings_.accounts);
  context_->requireTotpLevel = settings_.requireTotpLevel;
  if (settings_.http) {
    warnUnenrolled(settings_.accounts, settings_.requireTotpLevel, session.console());
  }
  if (settings_.tokensFile) {
    context_->tokens = std::make_unique<TokenStore>(*settings_.tokensFile, session.clock());
    std::string problem = context_->tokens->problem();
    if (!problem.empty()) session.console().errorLine("gsadmin: --http-tokens: " + problem);
  }
  context_->decoyHash = hashPassword("decoy").value_or("");
  if (session.moderation() != nullptr && settings_.http) {
    reads_ = makePanelReads(session.clock(), session.database());
    context_->reads = reads_.get();
    context_->recordsServer = session.moderation()->store().serverName();
  }
  if (settings_.http) {
    WebSessions& sessions = context_->sessions;
    hub_ = std::make_unique<StreamHub>(
        *ring_, board_, *signal_,
        [&sessions](const std::string& token) { return sessions.find(token).has_value(); });
    std::string error;
    if (hub_->start(&error)) {
      context_->hub = hub_.get();
    } else {
      session.console().errorLine("gsadmin: the panel's event streams are off: " + error);
    }
    web_ = startServer(session, *settings_.http, true);
  }
  if (settings_.metrics) {
    metrics_ = startServer(session, *settings_.metrics, false);
  }
  if (settings_.publicAddress) public_ = startPublic(session);
}

std::unique_ptr<WebServer> Panel::startPublic(SessionContext& session) {
  publicContext_ =
      std::make_unique<PublicContext>(session.clock(), *queue_, session, settings_.publicProxies);
  if (session.moderation() != nullptr) {
    publicReads_ = makePublicReads(session.clock(), session.database());
    publicContext_->reads = publicReads_.get();
  }
  std::string error;
  std::unique_ptr<WebServer> server =
      WebServer::create(settings_.certFile, settings_.keyFile, publicLimits(), &error);
  if (server) {
    addFallbacks(server->routes().server());
    addPublicRoutes(server->routes(), *publicContext_);
    if (std::optional<uint16_t> port = server->listen(*settings_.publicAddress, &error)) {
      ListenAddress bound{settings_.publicAddress->host, *port};
      session.console().line("Public: " + urlOf(bound, server->tls()) + "/");
      return server;
    }
  }
  session.console().errorLine("gsadmin: the public ban record is off: " + error);
  return nullptr;
}

void Panel::reloadAccounts(Console& console) {
  if (!context_ || !web_ || settings_.usersFile.empty()) return;
  std::string error;
  std::optional<std::vector<PanelAccount>> accounts = readUsersFile(settings_.usersFile, &error);
  if (!accounts) {
    console.errorLine("gsadmin: --http-users: kept the accounts as they were: " + error);
    return;
  }
  warnUnenrolled(*accounts, settings_.requireTotpLevel, console);
  size_t count = accounts->size();
  size_t ended = 0;
  size_t revoked = 0;
  for (const std::string& name : context_->accounts.replace(std::move(*accounts))) {
    ended += context_->sessions.removeAccount(name);
    if (!settings_.revokeTokensOnChange || !context_->tokens) continue;
    std::optional<size_t> gone = context_->tokens->revokeAccount(name, &error);
    if (!gone) console.errorLine("gsadmin: the tokens of " + name + " are kept: " + error);
    revoked += gone.value_or(0);
  }
  console.line(
      "PANEL: " + std::to_string(count) + " accounts reloaded, " + std::to_string(ended) +
      " logins ended" +
      (settings_.revokeTokensOnChange ? ", " + std::to_string(revoked) + " tokens revoked" : ""));
}

std::unique_ptr<WebServer> Panel::startServer(SessionContext& session, const ListenAddress& address,
                                              bool panel) {
  const char* what = panel ? "the panel is" : "the metrics are";
  std::string error;
  std::unique_ptr<WebServer> server =
      panel ? WebServer::create(settings_.certFile, settings_.keyFile, panelLimits(), &error)
            : WebServer::create(std::nullopt, std::nullopt, metricsLimits(), &error);
  if (server) {
    addFallbacks(server->routes().server());
    if (panel) {
      context_->tls = server->tls();
      addLoginRoutes(server->routes(), *context_);
      addReadRoutes(server->routes(), *context_);
      addHistoryRoutes(server->routes(), *context_);
      addRecentRoute(server->routes(), *context_);
      addRulesRoute(server->routes(), *context_);
      addTokenRoutes(server->routes(), *context_);
      addAccountRoutes(server->routes(), *context_);
      addReportRoutes(server->routes(), *context_);
      addAppealRoutes(server->routes(), *context_);
      addRecordRoutes(server->routes(), *context_);
      addChartRoutes(server->routes(), *context_);
      addActionRoute(server->routes(), *context_);
      addFleetRoute(server->routes(), *context_);
      addStreamRoute(server->routes(), *context_);
      WebServer* claimer = server.get();
      context_->claimConnection =
          [claimer](std::function<void(std::unique_ptr<Connection>)> taker) {
            return claimer->claim(std::move(taker));
          };
      addPageRoutes(server->routes(), *context_);
    } else {
      addMetricsRoute(server->routes(), *context_);
    }
    if (std::optional<uint16_t> port = server->listen(address, &error)) {
      ListenAddress bound{address.host, *port};
      session.console().line(std::string(panel ? "Panel: " : "Metrics: ") +
                             urlOf(bound, server->tls()) + (panel ? "/" : "/metrics"));
      return server;
    }
  }
  session.console().errorLine(std::string("gsadmin: ") + what + " off: " + error);
  return nullptr;
}

int Panel::wakeFd() const {
  return (web_ || metrics_ || public_) ? queue_->fd() : -1;
}

void Panel::runPending() {
  if (queue_) queue_->runPending();
  if (hub_) hub_->tick(context_->clock.nowMs());
}

void Panel::offer(Snapshot snapshot) {
  if (running()) publisher_.offer(std::move(snapshot));
}

std::optional<uint64_t> Panel::msUntilWork(uint64_t nowMs) const {
  return publisher_.msUntilDue(nowMs);
}

void Panel::stop() {
  // The streams end first: each with its last chunk, at once.
  if (hub_) hub_->stop();
  // The session's clock may go before the ring, which the console keeps.
  ring_->stampWith(nullptr);
  signal_->stop();
  // First, so that no request thread waits out its time for a loop that
  // no longer serves the queue: theirs is withdrawn at once.
  if (queue_) queue_->close();
  // Reads waiting or running end at once: the servers wait for their
  // requests.
  if (reads_) reads_->pool.stop();
  if (publicReads_) publicReads_->pool.stop();
  if (web_) web_->stop();
  if (metrics_) metrics_->stop();
  if (public_) public_->stop();
}

bool Panel::running() const {
  // The public listener reads no snapshot.
  return web_ != nullptr || metrics_ != nullptr;
}

}  // namespace gsadmin
