#ifndef GSADMIN_BENCH_FLEET_BENCH_H_
#define GSADMIN_BENCH_FLEET_BENCH_H_

#include <vector>

#include "results_table.h"

namespace gsadmin::bench {

// Clients sharing one PostgreSQL database, started by the bench itself
// from the installed server binaries (as the tests do), on a Unix socket.
struct FleetResult {
  bool ran = false;  // false: no PostgreSQL server binaries here
  // Ban propagation: client A's .tempban until client B, polling its loop,
  // has kicked the player; milliseconds.
  double propagationP99Ms = 0;
  double propagationMaxMs = 0;
  int propagations = 0;
  bool propagationComplete = false;  // every ban kicked on B
  // The ban check of a player-joined datagram with the bans held, and the
  // details reply after it (the alias lookup reads the database), on the
  // shared database; microseconds.
  int bans = 0;
  double joinP99Us = 0;
  double joinMaxUs = 0;
  double detailsP99Us = 0;
  double loadMs = 0;  // reading the active bans
  bool banCheckComplete = false;
  // Position updates a second through a script's Lua handler, with the
  // moderation on the shared database and on a SQLite file.
  double luaPostgresPerSecond = 0;
  double luaSqlitePerSecond = 0;
  bool luaComplete = false;
};

// `propagations` bans from one client to the other, the ban check with
// `bans` bans and `joins` joins, `rounds` rounds of `batch` updates.
FleetResult measureFleet(int propagations, int bans, int joins, int rounds, int batch);

void addFleetRows(const FleetResult& result, std::vector<ResultRow>& rows);

// The bench's run: 200 propagations, 1 000 000 bans and 10 000 joins, 21
// rounds of 10 000 updates; its rows.
std::vector<ResultRow> fleetRows();

// How the rows are measured, for the notes under the table.
extern const char kFleetNotes[];

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_FLEET_BENCH_H_
