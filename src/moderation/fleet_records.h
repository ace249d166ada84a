#ifndef GSADMIN_MODERATION_FLEET_RECORDS_H_
#define GSADMIN_MODERATION_FLEET_RECORDS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "moderation/record_store.h"
#include "storage/database.h"

namespace gsadmin {

// The fleet's tables (gs_servers, gs_online, gs_requests): which clients of
// a shared database are there, who is on their servers, and the acts one
// panel asks of another server's client. Plain functions over the store
// (the loop's connection) or a database (a panel reader's).

// A client writes its heartbeat this often, riding its loop's passes; one
// whose heartbeat is older than kOfflineSeconds is offline.
inline constexpr int64_t kHeartbeatSeconds = 5;
inline constexpr int64_t kOfflineSeconds = 15;
// A request not taken up within this long is never carried out: the panel
// that asked stopped waiting long before.
inline constexpr int64_t kRequestLifeSeconds = 10;
// Requests and answers older than this are deleted.
inline constexpr int64_t kRequestKeepSeconds = 86400;

// The notices on kChangesChannel: "request SERVER" (requests wait for
// SERVER's client) and "answer SERVER" (answers wait for SERVER's panel).
inline constexpr char kRequestNotice[] = "request ";
inline constexpr char kAnswerNotice[] = "answer ";

struct FleetPlayer {
  int64_t id = 0;
  std::string name;
  int64_t kills = 0;
  int64_t deaths = 0;
};

struct FleetServer {
  std::string name;
  int64_t heartbeat = 0;  // seconds since the epoch; 0: stopped
  bool online = false;
  std::vector<FleetPlayer> players;  // none while offline
};

// One act asked of another server's client.
struct FleetRequest {
  int64_t id = 0;
  int64_t time = 0;
  std::string target;  // the server whose client carries it out
  std::string origin;  // the server whose panel asked
  std::string actor;   // JSON: the account
  std::string act;     // JSON: the panel's action
};

// What became of a request: its state ("done", "refused", "expired", or
// still "waiting" or "running") and its answer line.
struct FleetAnswer {
  std::string state;
  std::string answer;
};

// The presence of this client in the fleet: its heartbeat and its players,
// queued on the store (written with the other records, in batches) when
// due. Only on a shared database; a file of one client's own has no fleet.
class FleetPresence {
 public:
  explicit FleetPresence(RecordStore& store) : store_(store) {}

  // A player joined or left: the players are written at the next tick().
  void changed() { changed_ = true; }
  // Queues the heartbeat once every kHeartbeatSeconds (with the players, to
  // refresh their scores), or the players alone after a change.
  void tick(int64_t nowSeconds, const std::vector<FleetPlayer>& players);
  // When tick() is due next, in seconds since the epoch.
  int64_t nextDue() const { return changed_ ? 0 : nextHeartbeat_; }
  // At the end of the run: offline at once, with nobody on.
  void stopped();

 private:
  void queuePlayers(const std::vector<FleetPlayer>& players);

  RecordStore& store_;
  int64_t started_ = 0;
  int64_t nextHeartbeat_ = 0;
  bool changed_ = true;
};

// Why no act may be asked of `server` now: "" when its client is online,
// else one line ("server NAME is offline", "no server of the fleet is named
// NAME", or the database's error).
std::string fleetRefusal(RecordStore& store, std::string_view server, int64_t nowSeconds);

// Writes `request` (its id and time filled) and tells the target's client.
// The new request's number, or none with *error.
std::optional<int64_t> askFleet(RecordStore& store, const FleetRequest& request,
                                std::string* error);

// The requests waiting for `server`, each taken (state "running") so that
// no second pass or client runs it; those older than kRequestLifeSeconds
// are answered "expired" instead and not returned.
std::vector<FleetRequest> takeFleetRequests(RecordStore& store, std::string_view server,
                                            int64_t nowSeconds);

// Answers request `request` with `state` and `answer`, and tells its origin.
void answerFleet(RecordStore& store, const FleetRequest& request, std::string_view state,
                 std::string_view answer, int64_t nowSeconds);

// What became of request `id` so far; none when it cannot be read.
std::optional<FleetAnswer> fleetAnswer(RecordStore& store, int64_t id);

// Deletes the requests older than kRequestKeepSeconds.
void purgeFleetRequests(RecordStore& store, int64_t nowSeconds);

// Every server of the fleet with its players, by name; none, with *error,
// when the tables cannot be read.
std::optional<std::vector<FleetServer>> readFleet(Database& database, int64_t nowSeconds,
                                                  std::string* error);

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_FLEET_RECORDS_H_
