#ifndef GSADMIN_PANEL_PUBLIC_SITE_H_
#define GSADMIN_PANEL_PUBLIC_SITE_H_

#include <httplib.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "moderation/public_bans.h"
#include "panel/appeal_throttle.h"
#include "panel/loop_queue.h"
#include "panel/read_limits.h"
#include "panel/read_pool.h"
#include "panel/route_table.h"
#include "panel/server_limits.h"
#include "panel/trusted_proxies.h"
#include "platform/clock.h"

namespace gsadmin {

class SessionContext;

// The public listener's reads of the ban record: threads and read-only
// connections of its own, apart from the panel's, so that the public
// cannot take the admins' reads, and caps per address and in all.
struct PublicReads {
  static constexpr size_t kReaders = 2;
  static constexpr size_t kPerAddress = 4;
  static constexpr size_t kInAll = 16;
  static constexpr std::chrono::milliseconds kBudget{1000};
  static constexpr std::chrono::milliseconds kWait{3000};

  PublicReads(Clock& clock, std::vector<std::unique_ptr<Database>> connections)
      : limits(kPerAddress, kInAll), pool(clock, std::move(connections), kBudget) {}

  ReadLimits limits;
  ReadPool pool;  // last: gone before the limits its work holds places in
};
// kReaders read-only connections to `database`; null when it has none.
std::unique_ptr<PublicReads> makePublicReads(Clock& clock, const Database& database);

// What the public listener's routes share: nothing of the panel's (no
// account, cookie, session or route). Owned by the panel, which stops the
// listener before it goes; `session` is used only in work the loop runs.
struct PublicContext {
  PublicContext(Clock& clock, LoopQueue& queue, SessionContext& session, TrustedProxies proxies)
      : clock(clock),
        queue(queue),
        session(session),
        proxies(std::move(proxies)),
        throttle(clock) {}

  Clock& clock;
  LoopQueue& queue;
  SessionContext& session;
  PublicReads* reads = nullptr;  // null while the moderation is off
  const TrustedProxies proxies;  // --public-trusted-proxy
  AppealThrottle throttle;
};

// The key the limits per address count `request` under: its client's
// address (TrustedProxies::clientOf, by its X-Forwarded-For lines) as
// addressKey() makes it.
std::string publicAddressKey(const PublicContext& context, const httplib::Request& request);

// The public listener's limits: small bodies, short times.
ServerLimits publicLimits();

// A ban as the public routes show it: {"id", "name", "kind", "reason",
// "start", "end", "server"}, no other member.
nlohmann::json publicBanJson(const PublicBan& ban);

// An appeal as POST /api/appeals takes it: {"ban", "name", "text"} as
// JSON or as a form. The ban's number as a number or a text ("12",
// "#12"); the name of 1 to kMaxNameBytes bytes on one line; the text not
// blank, at most Appeals::kMaxTextChars characters, its lines broken by
// line breaks alone (no other control character).
struct AppealForm {
  int64_t ban = 0;
  std::string name;
  std::string text;
};
// The form of `request`; nothing, with the reason in *error, when it is
// malformed.
std::optional<AppealForm> appealFormOf(const httplib::Request& request, std::string* error);

// GET / (the page, its script and style), GET /api/bans?name=NAME, GET
// /api/bans/NUMBER (public_site.cc); POST /api/appeals and GET
// /api/appeals/TOKEN (public_appeals.cc).
void addPublicRoutes(RouteTable& server, PublicContext& context);
void addPublicAppealRoutes(RouteTable& server, PublicContext& context);

// Answers with `work` on a public reader thread: 503 while the moderation
// is off or the read did not finish in time, 429 or 503 at once when the
// address or the listener has too many reads in flight.
void answerPublicRead(PublicContext& context, const httplib::Request& request,
                      httplib::Response& response, ReadWork work);

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_PUBLIC_SITE_H_
