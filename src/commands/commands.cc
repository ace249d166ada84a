#include "commands/commands.h"

#include <functional>

#include "commands/acts.h"
#include "commands/typed_request.h"
#include "console/local_command.h"
#include "console/printable.h"
#include "context/admin_actions.h"
#include "context/session_context.h"
#include "moderation/record_store.h"

namespace gsadmin {
namespace {

std::string_view firstWord(std::string_view text) {
  size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  text.remove_prefix(start);
  return text.substr(0, text.find(' '));
}

const char* prefixOf(unsigned door) {
  return door == kGameDoor ? "!" : ".";
}

}  // namespace

Commands::Commands(SessionContext& session)
    : session_(session), done_(allActs().size() * std::size(kDoors)) {}

std::vector<Commands::Tally> Commands::tallies() const {
  std::vector<Tally> tallies;
  for (size_t i = 0; i < done_.size(); ++i) {
    if (done_[i] == 0) continue;
    size_t door = i % std::size(kDoors);
    tallies.push_back(
        Tally{allActs()[i / std::size(kDoors)].name, doorName(kDoors[door]), done_[i]});
  }
  return tallies;
}

ActContext Commands::context() const {
  return ActContext{session_, session_.moderation()};
}

bool Commands::available(const Act& act) const {
  return !act.moderation || session_.moderation() != nullptr;
}

const Act* Commands::find(std::string_view name, unsigned door) const {
  const Act* act = findAct(name);
  return act != nullptr && available(*act) && (act->doors & door) != 0 ? act : nullptr;
}

Outcome Commands::run(const Act& act, unsigned door, const ActRequest& request) {
  if (!available(act)) return Outcome::refused("the moderation is off");
  if ((act.doors & door) == 0) {
    return Outcome::refused(std::string(act.name) + " is not done from here");
  }
  std::string refusal = permissionRefusal(act, request.actor);
  if (!refusal.empty()) return Outcome::refused(refusal);
  ActContext acting = context();
  Outcome outcome = act.run(acting, request);
  bool liftedNothing = act.run == &acts::unban && outcome.count == 0;
  std::span<const Act> table = allActs();
  std::less<const Act*> before;
  bool listed = !before(&act, table.data()) && before(&act, table.data() + table.size());
  if (outcome.done() && !act.read && !liftedNothing && listed) {
    size_t at = 0;
    while (at + 1 < std::size(kDoors) && kDoors[at] != door) ++at;
    ++done_[static_cast<size_t>(&act - table.data()) * std::size(kDoors) + at];
  }
  return outcome;
}

const Act* Commands::typedAct(unsigned door, std::string_view word, std::string_view* rest) const {
  for (const Act* act : typedActs(door)) {
    std::string_view typed = act->word;
    if (typed == word) return act;
    // "admin add": the first word typed, the second starting the rest.
    size_t space = typed.find(' ');
    if (space == std::string_view::npos || typed.substr(0, space) != word) continue;
    std::string_view second = firstWord(*rest);
    if (second != typed.substr(space + 1)) continue;
    rest->remove_prefix(rest->find(second) + second.size());
    return act;
  }
  return nullptr;
}

bool Commands::runTyped(const Actor& actor, unsigned door, std::string_view word,
                        std::string_view rest, std::optional<uint64_t> mark) {
  std::string_view left = rest;
  const Act* act = typedAct(door, word, &left);
  if (act == nullptr) {
    // A word that starts acts of two words: how to type them.
    std::string ways;
    for (const Act* other : typedActs(door)) {
      std::string_view typed = other->word;
      if (!typed.starts_with(std::string(word) + " ")) continue;
      ways += (ways.empty() ? "" : ", or ") + std::string(typed.substr(word.size() + 1)) +
              (*other->usage ? " " : "") + other->usage;
    }
    if (ways.empty()) return false;
    answer(actor, prefixOf(door) + std::string(word) + ": " + ways);
    return true;
  }
  ActContext acting = context();
  TypedRefusal refusal;
  std::string command = prefixOf(door) + std::string(act->word);
  std::optional<ActRequest> request =
      readTypedRequest(acting, *act, command, actor, left, mark, &refusal);
  if (!request) {
    bool console = door != kGameDoor && !refusal.consoleText.empty();
    refuseTyped(actor, *act, door, console ? refusal.consoleText : refusal.text,
                console || refusal.bare, console || refusal.hint);
    return true;
  }
  report(actor, *act, door, *request, run(*act, door, *request));
  return true;
}

void Commands::refuseTyped(const Actor& actor, const Act& act, unsigned door,
                           const std::string& text, bool bare, bool hint) {
  bool console = door != kGameDoor;
  std::string line =
      (bare && console) ? text : prefixOf(door) + std::string(act.word) + ": " + text;
  answer(actor, (hint && console) ? line + kHelpHint : line);
}

void Commands::report(const Actor& actor, const Act& act, unsigned door, const ActRequest& request,
                      const Outcome& outcome) {
  if (!outcome.done()) return refuseTyped(actor, act, door, outcome.refusal, false, false);
  for (const std::string& line : outcome.lines) answer(actor, line);
  // At the console the act printed its own line; an admin in game sees no
  // console.
  if (door != kGameDoor || !outcome.lines.empty()) return;
  std::string said = std::string("!") + act.word + ": ";
  if (std::string_view(act.name) == "unban") {
    answer(actor,
           said + "lifted " + std::to_string(outcome.count) + " ban(s) on " + request.target.name);
  } else {
    answer(actor, said + "done");
  }
}

void Commands::answer(const Actor& actor, std::string_view line) {
  if (actor.kind == Actor::Kind::kPlayer && actor.playerId) {
    admin::sendMessage(session_, *actor.playerId, boundedText(printable(line), kMaxAnswer));
  } else {
    session_.console().line("* " + printable(line));
  }
}

std::vector<const Act*> Commands::typedActs(unsigned door) const {
  std::vector<const Act*> acts;
  for (const Act& act : allActs()) {
    if (*act.word != '\0' && (act.doors & door) != 0 && available(act)) acts.push_back(&act);
  }
  return acts;
}

std::string Commands::usage(const Act& act, unsigned door) {
  std::string text = prefixOf(door) + std::string(act.word);
  return *act.usage ? text + " " + act.usage : text;
}

}  // namespace gsadmin
