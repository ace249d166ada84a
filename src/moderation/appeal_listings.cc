// The open appeals as the console lists them.

#include "base/durations.h"
#include "console/printable.h"
#include "moderation/listings.h"
#include "moderation/moderation.h"

namespace gsadmin {

std::vector<std::string> appealLines(Moderation& moderation) {
  std::optional<std::vector<AppealRecord>> appeals = moderation.appeals().unanswered(kMaxListed);
  if (!appeals) return {"the appeals cannot be read"};
  std::vector<std::string> lines;
  for (const AppealRecord& appeal : *appeals) {
    std::string text = boundedText(appeal.text, kAppealShownBytes);
    lines.push_back("#" + std::to_string(appeal.id) + " ban #" + std::to_string(appeal.sanction) +
                    " " + printable(appeal.name) + ", " + formatUtcTime(appeal.time) + ": " +
                    printable(text) + (text.size() < appeal.text.size() ? "..." : ""));
  }
  if (lines.empty()) lines.emplace_back("no open appeals");
  return lines;
}

}  // namespace gsadmin
