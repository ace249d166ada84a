#ifndef GSADMIN_APP_MODERATION_OPTIONS_H_
#define GSADMIN_APP_MODERATION_OPTIONS_H_

#include "app/options.h"
#include "context/session_settings.h"

namespace gsadmin {

// The moderation's settings from the options, checked when they were taken.
ModerationSettings moderationSettings(const Options& options);

}  // namespace gsadmin

#endif  // GSADMIN_APP_MODERATION_OPTIONS_H_
