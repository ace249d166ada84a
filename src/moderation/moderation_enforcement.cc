#include "moderation/moderation.h"

namespace gsadmin {

void Moderation::enforceBan(const Player&, bool) {}

}  // namespace gsadmin
