// Compiled against gsadmin_protocol alone: a folder of the same rank is out
// of sight.
#include "script/script_manager.h"
