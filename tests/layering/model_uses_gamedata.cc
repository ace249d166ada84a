// Compiled against gsadmin_model alone: a folder sees those below it.
#include "gamedata/weapon_tables.h"
#include "model/world.h"
