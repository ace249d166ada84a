#include "moderation/moderation_texts.h"

#include "base/durations.h"
#include "moderation/sanctions.h"

namespace gsadmin {

std::string keptReason(std::string_view reason) {
  size_t first = reason.find_first_not_of(" \t");
  if (first == std::string_view::npos) return "";
  size_t last = reason.find_last_not_of(" \t");
  return boundedText(reason.substr(first, last - first + 1), Sanctions::kMaxReasonBytes);
}

std::string shownReason(const std::string& reason) {
  return reason.empty() ? kNoReasonGiven : reason;
}

std::string banMessage(int64_t id, std::optional<int64_t> until, int64_t now,
                       const std::string& reason, const std::string& appealUrl) {
  std::string text = "You are banned";
  if (id > 0) text += " (#" + std::to_string(id) + ")";
  if (until) {
    text += " until " + formatUtcTime(*until) + " (" + formatDuration(*until - now) + " left)";
  } else {
    text += " permanently";
  }
  text += ": " + shownReason(reason);
  if (!appealUrl.empty()) text += ", appeal at " + appealUrl;
  return text;
}

}  // namespace gsadmin
