#include "rules/replay_log.h"

#include <ctime>

namespace gsadmin {
namespace {

constexpr std::string_view kJoined = " has joined the game (ID: ";
// Lines of the client's own, never a player's chat.
constexpr std::string_view kOwnPrefixes[] = {"* ",
                                             "RULE ",
                                             "ADMIN: ",
                                             "PM SENT: ",
                                             "LUA: ",
                                             "ERROR: ",
                                             "DISCONNECT: ",
                                             "RULES: ",
                                             "Successfully connected! ",
                                             "Connecting to "};
constexpr std::string_view kLeftEndings[] = {" has left the game", " has been kicked from the game",
                                             " has timed out"};

// The number of `width` digits at `at`, or none.
std::optional<int> digits(std::string_view text, size_t at, size_t width) {
  if (at + width > text.size()) return std::nullopt;
  int value = 0;
  for (size_t i = at; i < at + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

std::optional<int64_t> readStamp(std::string_view line, std::string_view* rest) {
  // [2026-12-07 14:03:22] and a space: 22 bytes.
  constexpr size_t kStampBytes = 22;
  if (line.size() < kStampBytes || line[0] != '[' || line[20] != ']' || line[21] != ' ') {
    return std::nullopt;
  }
  std::optional<int> year = digits(line, 1, 4), month = digits(line, 6, 2),
                     day = digits(line, 9, 2), hour = digits(line, 12, 2),
                     minute = digits(line, 15, 2), second = digits(line, 18, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  std::tm when{};
  when.tm_year = *year - 1900;
  when.tm_mon = *month - 1;
  when.tm_mday = *day;
  when.tm_hour = *hour;
  when.tm_min = *minute;
  when.tm_sec = *second;
  when.tm_isdst = -1;  // as the zone had it then
  *rest = line.substr(kStampBytes);
  return static_cast<int64_t>(std::mktime(&when));
}

std::optional<std::string> ReplayLog::knownPrefix(std::string_view text,
                                                  std::string_view separator) const {
  for (size_t at = text.find(separator); at != std::string_view::npos;
       at = text.find(separator, at + 1)) {
    auto found = players_.find(text.substr(0, at));
    if (found != players_.end()) return *found;
  }
  return std::nullopt;
}

bool ReplayLog::readKill(std::string_view text, RuleEvent& event) {
  // "K killed V (weapon)" or "K killed V"; not "V killed by Admin" nor a
  // suicide, "K killed himself".
  std::optional<std::string> killer = knownPrefix(text, " killed ");
  size_t at = killer ? killer->size() : text.find(" killed ");
  if (at == std::string_view::npos || at == 0) return false;
  if (!killer && text.substr(0, at).find(": ") != std::string_view::npos) return false;
  std::string_view after = text.substr(at + 8);
  if (after == "by Admin" || after == "himself" || after.starts_with("himself (")) return false;
  size_t open = after.rfind(" (");
  std::string_view victim =
      players_.count(after) == 0 && open != std::string_view::npos && after.ends_with(")")
          ? after.substr(0, open)
          : after;
  if (victim.empty()) return false;
  event.kind = RuleEvent::Kind::kKill;
  event.player = std::string(text.substr(0, at));
  event.victim = std::string(victim);
  players_.insert(event.player);
  players_.insert(event.victim);
  return true;
}

std::optional<RuleEvent> ReplayLog::read(std::string_view line) {
  if (line.size() > kMaxReplayLineBytes) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string_view text;
  std::optional<int64_t> second = readStamp(line, &text);
  if (!second) return std::nullopt;
  RuleEvent event;
  event.second = *second;
  if (size_t at = text.rfind(kJoined); at != std::string_view::npos && text.ends_with(")")) {
    event.kind = RuleEvent::Kind::kJoin;
    event.player = std::string(text.substr(0, at));
    players_.insert(event.player);
    return event;
  }
  for (std::string_view ending : kLeftEndings) {
    if (!text.ends_with(ending)) continue;
    auto found = players_.find(text.substr(0, text.size() - ending.size()));
    if (found != players_.end()) {
      players_.erase(found);
      return std::nullopt;
    }
  }
  for (std::string_view own : kOwnPrefixes) {
    if (text.starts_with(own)) return std::nullopt;
  }
  // "P: text", or a private message "P to R: text"; a known speaker's
  // line is chat even when it tells of a kill.
  std::optional<std::string> speaker = knownPrefix(text, ": ");
  if (!speaker && readKill(text, event)) return event;
  std::string_view said;
  if (speaker) {
    said = text.substr(speaker->size() + 2);
  } else if ((speaker = knownPrefix(text, " to "))) {
    std::string_view rest = text.substr(speaker->size() + 4);
    size_t colon = rest.find(": ");
    if (colon == std::string_view::npos) return std::nullopt;
    said = rest.substr(colon + 2);
  } else {
    // The players on the server before the login printed no join line:
    // the name is what comes before the first ": ", a private message's
    // sender what comes before " to " in it.
    size_t colon = text.find(": ");
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    std::string_view name = text.substr(0, colon);
    size_t to = name.find(" to ");
    speaker = std::string(name.substr(0, to));
    said = text.substr(colon + 2);
    players_.insert(*speaker);
  }
  event.kind = RuleEvent::Kind::kChat;
  event.player = *speaker;
  event.text = std::string(said);
  return event;
}

}  // namespace gsadmin
