#include "moderation/act_grants.h"

#include <algorithm>

namespace gsadmin {

bool ActGrants::reaches(std::string_view server) const {
  return servers.empty() || std::find(servers.begin(), servers.end(), server) != servers.end();
}

}  // namespace gsadmin
