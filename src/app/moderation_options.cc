#include "app/moderation_options.h"

#include "base/durations.h"
#include "moderation/retention.h"

namespace gsadmin {

ModerationSettings moderationSettings(const Options& options) {
  ModerationSettings moderation;
  moderation.enabled = !options.noModeration;
  moderation.trustNames = options.trustNames;
  moderation.historyDays = static_cast<int64_t>(options.historyDays);
  // --history-days covers the chat, the visits and the kills; --keep wins.
  int64_t history = moderation.historyDays * 24 * 3600;
  moderation.retention.chatSeconds = history;
  moderation.retention.visitsSeconds = history;
  moderation.retention.killsSeconds = history;
  if (options.keep) {
    moderation.retention =
        parseRetention(*options.keep, moderation.retention).value_or(moderation.retention);
  }
  moderation.serverName = options.serverName.value_or("");
  moderation.journalPath = options.journalPath.value_or("");
  moderation.warnKick = static_cast<int64_t>(options.warnKick);
  moderation.warnBan = static_cast<int64_t>(options.warnBan);
  if (options.warnBanTime) {
    moderation.warnBanSeconds = parseDuration(*options.warnBanTime).value_or(0);
  }
  if (options.warnExpiry) {
    moderation.warnExpirySeconds = parseDuration(*options.warnExpiry).value_or(0);
  }
  if (options.reportCooldown) {
    moderation.reportCooldownSeconds = parseDuration(*options.reportCooldown).value_or(60);
  }
  moderation.appealUrl = options.appealUrl.value_or("");
  return moderation;
}

}  // namespace gsadmin
