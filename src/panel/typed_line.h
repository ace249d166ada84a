#ifndef GSADMIN_PANEL_TYPED_LINE_H_
#define GSADMIN_PANEL_TYPED_LINE_H_

#include <functional>
#include <string>

#include "moderation/actor.h"

namespace gsadmin {

// Runs a line typed in the panel (chat or a dot-command) on the loop, as
// `actor`, the account that typed it, so that the moderation's commands in
// it are carried out and recorded as that account.
using TypedLineRunner = std::function<void(const std::string& line, const Actor& actor)>;

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_TYPED_LINE_H_
