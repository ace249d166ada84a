// Compiled against gsadmin_sim_lib: the simulator sees the wire definitions.
#include "gamedata/vehicle_rosters.h"
#include "protocol/wire.h"
