#ifndef GSADMIN_PANEL_FLEET_DESK_H_
#define GSADMIN_PANEL_FLEET_DESK_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "moderation/fleet_records.h"
#include "panel/typed_line.h"
#include "panel/web_sessions.h"
#include "storage/database.h"

namespace gsadmin {

class SessionContext;

// Console lines and server commands stay with each server's own panel: a
// request in the shared database, which any of its users may write, never
// carries one.
inline constexpr char kRemoteCommandRefusal[] =
    "console lines and server commands are typed on that server's own panel";

// Where an HTTP thread waits for the answer of another server's client;
// the loop gives it.
class FleetWait {
 public:
  void give(FleetAnswer answer);
  // The answer, once given within `timeout`; none otherwise.
  std::optional<FleetAnswer> waitFor(std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable given_;
  std::optional<FleetAnswer> answer_;
};

// A fleet's acts across servers, on the loop of a client of a shared
// database. The panel asks another server's client for an act (ask());
// that client takes the request on its notice, carries it out through the
// same act of the command table as its own panel would, as the account
// from the other server, and answers; the answer comes back on a notice to
// the HTTP thread waiting for it. Reaches the moderation through the
// session, which must outlive the desk.
class FleetDesk {
 public:
  FleetDesk(SessionContext& session, TypedLineRunner runTypedLine);

  // The notices of a pass: requests for this server are carried out,
  // answers for this panel given to their waits. After a reconnection both
  // are looked for, since notices were missed.
  void noticed(const DatabaseEvents& events);
  // Once a pass: every kHeartbeatSeconds, looks for requests and answers
  // whose notice was missed.
  void tick();

  // Asks `server`'s client for `action` (the panel's JSON body, as text) as
  // `login`: empty when asked, the answer then coming to `wait`; else the
  // refusal (the server offline, unknown, the database away).
  std::string ask(const std::string& server, const WebLogin& login, const std::string& action,
                  std::shared_ptr<FleetWait> wait);

  // The account of `login`, as a request carries it, and back as the actor
  // it acts as here, from `origin`.
  static std::string actorText(const WebLogin& login);
  static std::optional<Actor> actorOf(const std::string& text, const std::string& origin,
                                      const std::string& here);

 private:
  // The moderation's store, when there is one to use now.
  RecordStore* store();
  void carryOutRequests();
  void collectAnswers();

  SessionContext& session_;
  TypedLineRunner runTypedLine_;
  std::map<int64_t, std::weak_ptr<FleetWait>> waits_;
  int64_t nextScan_ = 0;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_FLEET_DESK_H_
