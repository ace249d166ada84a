#include "storage_bench.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "script/lua.h"
#include "support/session_harness.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;

// insertRows returns the number of rows inserted, queryRows the number of
// queries that found their row.
const char kScript[] =
    "dbExec('CREATE TABLE players (id INTEGER PRIMARY KEY, name TEXT, score REAL)')\n"
    "function insertRows(first, count)\n"
    "  local inserted = 0\n"
    "  dbExec('BEGIN')\n"
    "  for id = first, first + count - 1 do\n"
    "    inserted = inserted + (dbExec('INSERT INTO players VALUES (?, ?, ?)',\n"
    "                                  id, 'player', id * 0.5) or 0)\n"
    "  end\n"
    "  dbExec('COMMIT')\n"
    "  return inserted\n"
    "end\n"
    "function queryRows(count, rows)\n"
    "  local found = 0\n"
    "  for i = 1, count do\n"
    "    local row = dbQuery('SELECT name, score FROM players WHERE id = ?', i % rows + 1)\n"
    "    if row and row[1] then found = found + 1 end\n"
    "  end\n"
    "  return found\n"
    "end\n";

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Calls the script's global `name` with two numbers in protected mode;
// returns its numeric result and the seconds it took, or -1 on an error.
double timedCall(lua_State* L, const char* name, double a, double b, double* seconds) {
  lua_getglobal(L, name);
  lua_pushnumber(L, a);
  lua_pushnumber(L, b);
  Clock::time_point start = Clock::now();
  int status = lua_pcall(L, 2, 1, 0);
  *seconds = std::chrono::duration<double>(Clock::now() - start).count();
  double result = status == 0 ? lua_tonumber(L, -1) : -1;
  lua_pop(L, 1);
  return result;
}

}  // namespace

StorageRates measureStorageRates(int rounds, int rowsPerRound, int queriesPerRound) {
  StorageRates rates;
  testing::SessionHarness harness{std::string(kScript)};
  if (harness.session().scripts().empty()) return rates;
  lua_State* L = harness.session().scripts().all().at(0)->state.get();
  std::vector<double> insertRates;
  std::vector<double> queryRates;
  bool complete = true;
  for (int round = 0; round < rounds; ++round) {
    double seconds = 0;
    double inserted =
        timedCall(L, "insertRows", 1.0 + double(round) * rowsPerRound, rowsPerRound, &seconds);
    complete = complete && inserted == rowsPerRound;
    insertRates.push_back(seconds > 0 ? rowsPerRound / seconds : 0);
    double found = timedCall(L, "queryRows", queriesPerRound, rowsPerRound, &seconds);
    complete = complete && found == queriesPerRound;
    queryRates.push_back(seconds > 0 ? queriesPerRound / seconds : 0);
  }
  std::string output = harness.output();  // no error lines
  complete = complete && output.find("dbExec:") == std::string::npos &&
             output.find("dbQuery:") == std::string::npos;
  rates.insertsPerSecond = median(insertRates);
  rates.queriesPerSecond = median(queryRates);
  rates.complete = complete;
  return rates;
}

}  // namespace gsadmin::bench
