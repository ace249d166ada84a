#ifndef GSADMIN_COMMANDS_ACTS_H_
#define GSADMIN_COMMANDS_ACTS_H_

#include "commands/act.h"

// What each act of the table does: the `run` of its entry. Each checks
// what the request names, acts, records, audits and fires the events.
namespace gsadmin::acts {

// acts_plain.cc: chat, message and slap, and the kick and ban of a
// session without moderation.
Outcome chat(ActContext& context, const ActRequest& request);
Outcome message(ActContext& context, const ActRequest& request);
Outcome slap(ActContext& context, const ActRequest& request);

// acts_sanctions.cc.
Outcome warn(ActContext& context, const ActRequest& request);
Outcome kick(ActContext& context, const ActRequest& request);
Outcome tempban(ActContext& context, const ActRequest& request);
Outcome ban(ActContext& context, const ActRequest& request);
Outcome unban(ActContext& context, const ActRequest& request);
Outcome banReason(ActContext& context, const ActRequest& request);
Outcome banLength(ActContext& context, const ActRequest& request);
Outcome note(ActContext& context, const ActRequest& request);
Outcome addAdmin(ActContext& context, const ActRequest& request);
Outcome removeAdmin(ActContext& context, const ActRequest& request);

// acts_world.cc.
Outcome players(ActContext& context, const ActRequest& request);
Outcome vehicles(ActContext& context, const ActRequest& request);

// acts_reads.cc.
Outcome seen(ActContext& context, const ActRequest& request);
Outcome history(ActContext& context, const ActRequest& request);
Outcome bans(ActContext& context, const ActRequest& request);
Outcome audit(ActContext& context, const ActRequest& request);
Outcome admins(ActContext& context, const ActRequest& request);

// acts_reports.cc: players' reports.
Outcome report(ActContext& context, const ActRequest& request);
Outcome reports(ActContext& context, const ActRequest& request);
Outcome showReport(ActContext& context, const ActRequest& request);
Outcome claimReport(ActContext& context, const ActRequest& request);
Outcome closeReport(ActContext& context, const ActRequest& request);

// acts_appeals.cc: banned players' appeals.
Outcome appeals(ActContext& context, const ActRequest& request);
Outcome acceptAppeal(ActContext& context, const ActRequest& request);
Outcome rejectAppeal(ActContext& context, const ActRequest& request);

// The moderation rules of --rules (acts_rules.cc).
Outcome listRules(ActContext& context, const ActRequest& request);
Outcome reloadRules(ActContext& context, const ActRequest& request);

}  // namespace gsadmin::acts

#endif  // GSADMIN_COMMANDS_ACTS_H_
