#ifndef GSADMIN_MODERATION_ACT_GRANTS_H_
#define GSADMIN_MODERATION_ACT_GRANTS_H_

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// What a named role of the panel's users file lets its accounts do, in
// place of a level: acts by name ("kick", "ban reason", "command"), the
// longest tempban, and the servers of a fleet it reaches. The reads it
// allows ("audit", "bans") are among its acts.
struct ActGrants {
  std::string role;                  // its name, for refusals
  std::set<std::string> acts;        // the acts' names, as the command table has them
  int64_t maxTempbanSeconds = 0;     // with "tempban": 0 for any length
  std::vector<std::string> servers;  // empty: every server

  bool allows(std::string_view act) const { return acts.count(std::string(act)) > 0; }
  // Whether the role reaches the server named `server` (--server-name).
  bool reaches(std::string_view server) const;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_ACT_GRANTS_H_
