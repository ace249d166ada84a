#ifndef GSADMIN_TOOLS_SIM_SCENARIO_CHECK_H_
#define GSADMIN_TOOLS_SIM_SCENARIO_CHECK_H_

#include <cstdint>
#include <optional>
#include <string>

#include "scenario.h"

namespace gsadmin::sim {

// Checks what the parser cannot, for the game and mode the server runs:
//  - every vehicle is in that game and mode's roster (any 1 to 100 when it
//    has none);
//  - every weapon is a number from 0 to 255 or a weapon name of that game's
//    table (case-insensitive); sets each Action's weaponId;
//  - every line names players who are on the server at that point of the
//    round, following the online list, joins and quits; nobody joins twice
//    and no two players ask for the same id.
// Returns false with "<source>:<line>: <what is wrong>" in *error.
bool checkScenario(Scenario& scenario, uint8_t game, uint8_t mode, std::string* error);

// The id of a weapon of `game` by name, ignoring case; nothing when the
// table has no such name.
std::optional<uint8_t> weaponByName(uint8_t game, const std::string& name);

// The name of weapon `id` in the table of `game`, or nothing.
std::optional<std::string> weaponName(uint8_t game, uint8_t id);

// The name of vehicle `id` (1 to 100) in the roster of game and mode, or
// nothing.
std::optional<std::string> vehicleName(uint8_t game, uint8_t mode, int id);

}  // namespace gsadmin::sim

#endif  // GSADMIN_TOOLS_SIM_SCENARIO_CHECK_H_
