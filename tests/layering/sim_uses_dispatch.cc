// Compiled against gsadmin_sim_lib: the simulator sees no more of protocol/
// than its wire definitions.
#include "protocol/dispatch.h"
