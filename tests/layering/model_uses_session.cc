// Compiled against gsadmin_model alone: a folder above it is out of sight.
#include "session/admin_session.h"
