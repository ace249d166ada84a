#ifndef GSADMIN_MODERATION_MODERATION_TEXTS_H_
#define GSADMIN_MODERATION_MODERATION_TEXTS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gsadmin {

// What is shown where an action was given no reason.
inline constexpr char kNoReasonGiven[] = "no reason given";

// A reason as it is kept and shown: without surrounding blanks, cut to
// Sanctions::kMaxReasonBytes. Empty when none was given.
std::string keptReason(std::string_view reason);

// `reason`, or kNoReasonGiven when it is empty.
std::string shownReason(const std::string& reason);

// The private message to a banned player: "You are banned (#ID) until DATE
// (TIME_LEFT left): REASON", or "You are banned (#ID) permanently: REASON"
// for a ban without an end. Without " (#ID)" while the ban's number is not
// known (`id` 0: its record not written yet); with ", appeal at URL" after
// it when `appealUrl` is not empty.
std::string banMessage(int64_t id, std::optional<int64_t> until, int64_t now,
                       const std::string& reason, const std::string& appealUrl);

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_MODERATION_TEXTS_H_
