// Banned players' appeals: listed, accepted and rejected by the admins.

#include "commands/acts.h"
#include "moderation/listings.h"
#include "moderation/moderation.h"

namespace gsadmin::acts {

Outcome appeals(ActContext& context, const ActRequest&) {
  return Outcome{"", appealLines(*context.moderation), 0};
}

Outcome acceptAppeal(ActContext& context, const ActRequest& request) {
  return Outcome::refused(
      context.moderation->acceptAppeal(request.actor, request.appeal, request.text));
}

Outcome rejectAppeal(ActContext& context, const ActRequest& request) {
  return Outcome::refused(
      context.moderation->rejectAppeal(request.actor, request.appeal, request.text));
}

}  // namespace gsadmin::acts
