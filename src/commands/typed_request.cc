// A typed line's arguments, as the console and the admins in game type
// them: which player or name they mean, durations, levels and counts.

#include "commands/typed_request.h"

#include <algorithm>
#include <functional>

#include "base/durations.h"
#include "base/trimmed.h"
#include "console/printable.h"
#include "context/player_target.h"
#include "context/session_context.h"
#include "model/player_manager.h"
#include "moderation/moderation.h"

namespace gsadmin {
namespace {

const char kDurationExamples[] = "such as 30m, 2h, 7d or 1d12h (at most 10 years)";
// Longer counts are refused by the act as out of range.
constexpr size_t kMaxCountDigits = 9;
// A ban's number: an id of the database, kept well inside int64_t.
constexpr size_t kMaxBanDigits = 18;

struct Split {
  std::string first;
  std::string rest;
};

// `text` cut after its first `size` bytes (all of it when more), both
// parts trimmed.
Split splitAt(std::string_view text, size_t size) {
  size = std::min(size, text.size());
  return Split{std::string(trimmed(text.substr(0, size))), std::string(trimmed(text.substr(size)))};
}

// Where the next shorter start than `start` (a prefix of `text`, which is
// trimmed) ends: at the last blank before its last word; 0 when there is
// none. Every blank of a run gives the same start, so each run is tried
// once and a line of many blanks costs no more than a short one.
size_t shorterStartEnd(std::string_view text, std::string_view start) {
  if (start.empty()) return 0;
  size_t end = text.rfind(' ', start.size() - 1);
  return end == std::string_view::npos ? 0 : end;
}

// The longest start of `text` ending at a blank for which `names` holds,
// else the first word, split from the rest.
Split splitLongest(std::string_view text, size_t longest,
                   const std::function<bool(std::string_view)>& names) {
  text = trimmed(text);
  for (size_t end = text.size(); end > 0;) {
    std::string_view start = trimmed(text.substr(0, end));
    if (start.size() <= longest && names(start)) return splitAt(text, end);
    end = shorterStartEnd(text, start);
  }
  return splitAt(text, text.find(' '));
}

Split splitPlayer(const PlayerManager& players, std::string_view text) {
  // No longer start can be an id or a whole name: a long line costs no more.
  size_t longest = 3;
  for (const auto& player : players.all()) longest = std::max(longest, player->name.size());
  return splitLongest(text, longest, [&](std::string_view start) {
    return exactPlayer(players, start).has_value();
  });
}

Split splitName(Moderation* moderation, std::string_view text) {
  if (moderation == nullptr) return splitAt(trimmed(text), trimmed(text).find(' '));
  // Names are kept up to kMaxNameBytes: a longer start is none of them.
  return splitLongest(text, kMaxNameBytes, [&](std::string_view start) {
    return moderation->history().find(start).has_value();
  });
}

bool isDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Reads the arguments one by one from the rest of the line.
class Reader {
 public:
  Reader(ActContext& context, std::string command, std::optional<uint64_t> mark,
         TypedRefusal* refusal)
      : context_(context), command_(std::move(command)), mark_(mark), refusal_(refusal) {}

  bool read(Argument argument, bool last, std::string_view* rest, ActRequest* request);

 private:
  bool fail(std::string text, bool bare = false, bool hint = false) {
    *refusal_ = TypedRefusal{std::move(text), bare, hint, ""};
    return false;
  }
  bool player(bool absentToo, std::string_view* rest, ActRequest* request);
  bool recipient(std::string_view* rest, ActRequest* request);
  // The target `chosen` names, typed as `typed`.
  bool chosenTarget(int id, std::string_view typed, Target* target);
  // The name an id typed means: the holder at the mark.
  bool nameOfId(uint8_t id, Target* target);
  bool duration(std::string_view* rest, ActRequest* request);
  // A ban's or a report's number, #12 or 12, into *number.
  bool number(std::string_view* rest, const char* needed, int64_t* number);

  ActContext& context_;
  std::string command_;
  std::optional<uint64_t> mark_;
  TypedRefusal* refusal_;
  std::string text_;
};

bool Reader::read(Argument argument, bool last, std::string_view* rest, ActRequest* request) {
  switch (argument) {
    case Argument::kPlayer:
    case Argument::kPerson:
      return player(argument == Argument::kPerson, rest, request);
    case Argument::kRecipient:
      return recipient(rest, request);
    case Argument::kName: {
      Split split = last ? splitAt(*rest, rest->size()) : splitName(context_.moderation, *rest);
      if (split.first.empty()) return fail("a name is needed");
      request->target.name = split.first;
      text_ = split.rest;
      *rest = text_;
      return true;
    }
    case Argument::kDuration:
      return duration(rest, request);
    case Argument::kLevel: {
      Split split = splitAt(trimmed(*rest), trimmed(*rest).find(' '));
      request->level = split.first.size() == 1 ? split.first[0] - '0' : 0;
      if (request->level < kModeratorLevel || request->level > kSeniorLevel) {
        return fail("LEVEL is 1 (moderator), 2 (admin) or 3 (senior)");
      }
      text_ = split.rest;
      *rest = text_;
      return true;
    }
    case Argument::kCount: {
      std::string_view count = trimmed(*rest);
      // Not a count at all reads as too many, which the act refuses.
      request->count = count.empty() ? 0 : SIZE_MAX;
      if (isDigits(count) && count.size() <= kMaxCountDigits) {
        request->count = std::max<size_t>(std::stoul(std::string(count)), 1);
        if (count.find_first_not_of('0') == std::string_view::npos) request->count = SIZE_MAX;
      }
      return true;
    }
    case Argument::kBan:
      return number(rest, "a ban's number is needed (its id in the panel: #12 or 12)",
                    &request->ban);
    case Argument::kReport:
      return number(rest, "a report's number is needed (#12 or 12)", &request->report);
    case Argument::kAppeal:
      return number(rest, "an appeal's number is needed (#3 or 3)", &request->appeal);
    case Argument::kText:
    case Argument::kReason:
      request->text = std::string(trimmed(*rest));
      *rest = {};
      return true;
  }
  return true;
}

bool Reader::player(bool absentToo, std::string_view* rest, ActRequest* request) {
  const PlayerManager& players = context_.session.players();
  Split split = splitPlayer(players, *rest);
  PlayerTarget chosen = targetPlayer(players, split.first, command_, true);
  if (!chosen.id && absentToo && chosen.namedNobody && !split.first.empty()) {
    // Not on the server: a name seen before (the longest start that is
    // one), or the first word.
    split = splitName(context_.moderation, *rest);
    request->target = Target{std::nullopt, split.first};
  } else if (!chosen.id) {
    if (chosen.refusal.empty()) {
      fail("a player is needed");
      refusal_->consoleText = command_ + " needs a player";
      return false;
    }
    return fail(chosen.refusal, true, chosen.namedNobody);
  } else if (!chosenTarget(*chosen.id, split.first, &request->target)) {
    return false;
  }
  text_ = split.rest;
  *rest = text_;
  return true;
}

bool Reader::recipient(std::string_view* rest, ActRequest* request) {
  Split split = splitAt(trimmed(*rest), trimmed(*rest).find(' '));
  if (split.first.empty() || split.rest.empty()) {
    fail("a player and a text are needed");
    refusal_->consoleText = command_ + " needs a player and a text";
    return false;
  }
  PlayerTarget chosen = targetPlayer(context_.session.players(), split.first, command_, false);
  if (!chosen.id) return fail(chosen.refusal, true, chosen.namedNobody);
  if (!chosenTarget(*chosen.id, split.first, &request->target)) return false;
  text_ = split.rest;
  *rest = text_;
  return true;
}

bool Reader::chosenTarget(int id, std::string_view typed, Target* target) {
  target->id = static_cast<uint8_t>(id);
  if (isDigits(typed)) return nameOfId(*target->id, target);
  target->name = context_.session.players().find(*target->id)->name;
  return true;
}

bool Reader::nameOfId(uint8_t id, Target* target) {
  const PlayerManager& players = context_.session.players();
  const Player* holder = players.find(id);
  if (!mark_) {
    target->name = holder ? holder->name : "";
    return true;
  }
  std::optional<std::string> held = players.heldAt(id, *mark_);
  if (!held && holder != nullptr) {
    return fail("#" + std::to_string(id) + " is now " + printable(holder->name) +
                ", who came after the line was begun: nothing done");
  }
  target->name = held.value_or("");
  return true;
}

bool Reader::duration(std::string_view* rest, ActRequest* request) {
  Split split = splitAt(trimmed(*rest), trimmed(*rest).find(' '));
  if (split.first.empty()) {
    return fail(std::string("a duration is needed, ") + kDurationExamples);
  }
  std::optional<int64_t> seconds = parseDuration(split.first);
  if (!seconds) {
    return fail("'" + printable(split.first) + "' is not a duration " + kDurationExamples);
  }
  request->seconds = *seconds;
  text_ = split.rest;
  *rest = text_;
  return true;
}

bool Reader::number(std::string_view* rest, const char* needed, int64_t* number) {
  Split split = splitAt(trimmed(*rest), trimmed(*rest).find(' '));
  std::string_view digits = split.first;
  if (digits.starts_with('#')) digits.remove_prefix(1);
  if (digits.empty() || !isDigits(digits) || digits.size() > kMaxBanDigits) return fail(needed);
  *number = std::stoll(std::string(digits));
  text_ = split.rest;
  *rest = text_;
  return true;
}

}  // namespace

std::optional<ActRequest> readTypedRequest(ActContext& context, const Act& act,
                                           std::string_view command, const Actor& actor,
                                           std::string_view rest, std::optional<uint64_t> mark,
                                           TypedRefusal* refusal) {
  ActRequest request;
  request.actor = actor;
  Reader reader(context, std::string(command), mark, refusal);
  std::string_view left = rest;
  for (size_t i = 0; i < act.arguments.size(); ++i) {
    if (!reader.read(act.arguments[i], i + 1 == act.arguments.size(), &left, &request)) {
      return std::nullopt;
    }
  }
  return request;
}

}  // namespace gsadmin
