#ifndef GSADMIN_PANEL_WEB_CONTEXT_H_
#define GSADMIN_PANEL_WEB_CONTEXT_H_

#include <httplib.h>

#include <atomic>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "panel/account_book.h"
#include "panel/action_outcomes.h"
#include "panel/connection.h"
#include "panel/console_ring.h"
#include "panel/device_cookie.h"
#include "panel/hashing_pool.h"
#include "panel/login_throttle.h"
#include "panel/loop_queue.h"
#include "panel/panel_reads.h"
#include "panel/route_table.h"
#include "panel/snapshot.h"
#include "panel/stream_limits.h"
#include "panel/token_store.h"
#include "panel/typed_line.h"
#include "panel/users_file.h"
#include "panel/web_sessions.h"
#include "platform/clock.h"

namespace gsadmin {

class FleetDesk;
class SessionContext;
class StreamHub;

// What the panel's routes share. Owned by the panel, which stops the
// servers before it goes. HTTP threads read the board and the ring and
// hand everything else to the loop through the queue; `session` is used
// only inside work the loop runs.
struct WebContext {
  WebContext(Clock& clock, SnapshotBoard& board, ConsoleRing& ring, LoopQueue& queue,
             SessionContext& session)
      : clock(clock),
        board(board),
        ring(ring),
        queue(queue),
        session(session),
        sessions(clock),
        throttle(clock),
        outcomes(clock) {}

  Clock& clock;
  SnapshotBoard& board;
  ConsoleRing& ring;
  LoopQueue& queue;
  SessionContext& session;
  TypedLineRunner runTypedLine;
  AccountBook accounts;
  // Accounts of this level and above log in with a one-time code too; 0:
  // only those that enrolled.
  int requireTotpLevel = 0;
  // The API tokens; null when the panel has no tokens file.
  std::unique_ptr<TokenStore> tokens;
  // Checked for names that have no account, so that a wrong name takes as
  // long as a wrong password.
  std::string decoyHash;
  WebSessions sessions;
  LoginThrottle throttle;
  DeviceCookies devices;
  // Every password check runs here: each takes 19 MiB.
  HashingPool hashing;
  ActionOutcomes outcomes;
  bool tls = false;
  StreamLimits streams;
  // The reads of the moderation's records; null while the moderation is off.
  PanelReads* reads = nullptr;
  // The name the records give the server this client administers (their
  // rows' server column), for the charts of its own visits.
  std::string recordsServer;
  // Where the event streams go once their headers are out: the hub, and
  // the claim of the connection being answered (see ConnectionLobby::claim).
  StreamHub* hub = nullptr;
  std::function<bool(std::function<void(std::unique_ptr<Connection>)>)> claimConnection;
  // On a shared database: the acts on other servers of the fleet (used on
  // the loop only); null otherwise.
  FleetDesk* fleet = nullptr;
};

// The deadline of work handed to the loop: work not started by then is
// withdrawn and never runs.
inline constexpr std::chrono::milliseconds kLoopAnswerTimeout{5000};
inline constexpr char kSessionCookie[] = "gsadmin_session";
inline constexpr char kCsrfHeader[] = "X-CSRF-Token";

void sendJson(httplib::Response& response, int status, const nlohmann::json& value);
// {"error": message} with `status`.
void sendError(httplib::Response& response, int status, std::string_view message);
// The value of the cookie `name` in the request, or nothing.
std::optional<std::string> cookieOf(const httplib::Request& request, std::string_view name);

// The login whose cookie the request carries, renewed. Without one, answers
// 401 and returns nothing. A request that `changesState` must also carry
// the login's CSRF token in the X-CSRF-Token header, else 403.
std::optional<WebLogin> requireLogin(WebContext& context, const httplib::Request& request,
                                     httplib::Response& response, bool changesState);

// requireLogin() of a read of the panel: also 403 when the login's role
// does not allow the table's read `read` ("audit", "bans"). A level reads
// everything the panel shows.
std::optional<WebLogin> requireReader(WebContext& context, const httplib::Request& request,
                                      httplib::Response& response, std::string_view read);

// requireLogin() of a request with an Authorization header: a Bearer
// token's account, with the account's level (at most kSeniorLevel for a
// token of scope act, so that it may not command), for what the token's
// scope allows: 401 for a token unknown or expired, 403 when the scope does
// not allow a request that `changesState`. No CSRF token is needed.
std::optional<WebLogin> tokenLogin(WebContext& context, const httplib::Request& request,
                                   httplib::Response& response, bool changesState);

// An account's role as it holds on this client's server: itself, or none
// of its acts when it is scoped to other servers; null for a level.
std::shared_ptr<const ActGrants> grantsHere(const WebContext& context,
                                            const std::shared_ptr<const ActGrants>& grants);

// What work on the loop answers a request with: JSON text and its status.
struct LoopAnswer {
  int status = 200;
  std::string body;
};
// Answers with what `work` returns on the loop, or 503 when the loop did
// not start it in time (it then never runs). Work that started is waited
// for until it ends.
void answerFromLoop(WebContext& context, httplib::Response& response,
                    std::function<LoopAnswer()> work);
// The answer of the routes that read the moderation's records while the
// moderation is off.
LoopAnswer moderationOff();

// Whether a read must see every record the loop made before it (a kick
// just done), or may miss the last moments (the charts).
enum class Freshness { kLatest, kRecent };
// Answers with what `work` returns on a reader thread, off the loop: 503
// while the moderation is off; 429 or 503 at once, with Retry-After, when
// `login` or the panel has too many reads in flight; 503 when the read
// took too long. `work` must not refer to the request or the response.
void answerFromReader(WebContext& context, const WebLogin& login, httplib::Response& response,
                      Freshness freshness, ReadWork work);

// /api/login, /api/logout and /api/session.
void addLoginRoutes(RouteTable& server, WebContext& context);
// /api/server, /api/players, /api/bans, /api/audit.
void addReadRoutes(RouteTable& server, WebContext& context);
// /api/bans/search, /api/bans/export, /api/audit/search, /api/audit/export.
void addRecordRoutes(RouteTable& server, WebContext& context);
// /api/players/search and /api/history.
void addHistoryRoutes(RouteTable& server, WebContext& context);
// /api/players/recent?hours=N: up to 100 players seen within N hours (1
// to 168, 24 by default), most recently first.
void addRecentRoute(RouteTable& server, WebContext& context);
// /api/rules: the rules in force with their matches in the last hour.
void addRulesRoute(RouteTable& server, WebContext& context);
// GET /api/sessions and POST /api/sessions/end: the account's own logins.
void addAccountRoutes(RouteTable& server, WebContext& context);
// GET /api/tokens and POST /api/tokens/revoke.
void addTokenRoutes(RouteTable& server, WebContext& context);
// /api/reports and /api/reports/N (web_reports.cc).
void addReportRoutes(RouteTable& server, WebContext& context);
// /api/appeals: the open appeals (web_appeals.cc).
void addAppealRoutes(RouteTable& server, WebContext& context);
// /api/charts.
void addChartRoutes(RouteTable& server, WebContext& context);
// POST /api/actions and GET /api/actions/ID.
void addActionRoute(RouteTable& server, WebContext& context);
// web_fleet.cc: POST /api/actions of an action whose "server" is another of
// the fleet: asked of that server's client and answered with its line, or
// refused at once (the server offline, no fleet).
void postFleetAction(WebContext& context, const WebLogin& login, const nlohmann::json& body,
                     const std::string& server, httplib::Response& response);
// GET /api/fleet: the fleet's servers, online or not, and their players.
void addFleetRoute(RouteTable& server, WebContext& context);
// /api/events: Server-Sent Events.
void addStreamRoute(RouteTable& server, WebContext& context);
// /metrics, without a login.
void addMetricsRoute(RouteTable& server, WebContext& context);
// The page and its files.
void addPageRoutes(RouteTable& server, WebContext& context);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_WEB_CONTEXT_H_
