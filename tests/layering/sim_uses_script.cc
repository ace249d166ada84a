// Compiled against gsadmin_sim_lib: the simulator sees no script host.
#include "script/lua.h"
