// What Tab completes at the console: the command words first, then what the
// command's next argument takes, read from the table of acts (players,
// recorded names, levels) or from the console's own commands (scripts).

#include <span>
#include <string>

#include "commands/commands.h"
#include "console/completion.h"
#include "context/player_target.h"
#include "session/admin_session.h"
#include "session/console_commands.h"

namespace gsadmin {
namespace {

using Words = std::span<const std::string_view>;

std::vector<std::string_view> wordsOf(std::string_view text) {
  std::vector<std::string_view> words;
  for (size_t at = 0; (at = text.find_first_not_of(" \t", at)) != std::string_view::npos;) {
    size_t end = std::min(text.find_first_of(" \t", at), text.size());
    words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

std::string joined(Words words) {
  std::string text;
  for (std::string_view word : words) text += (text.empty() ? "" : " ") + std::string(word);
  return text;
}

bool isNameArgument(Argument argument) {
  return argument == Argument::kPerson || argument == Argument::kName;
}

std::vector<std::string> playerNames(AdminSession& session) {
  std::vector<std::string> names;
  for (const auto& player : session.players().all()) names.push_back(player->name);
  return names;
}

std::vector<std::string> recordedNames(AdminSession& session, std::string_view start) {
  Moderation* moderation = session.moderation();
  if (moderation == nullptr) return {};
  return moderation->history().namesStartingWith(start, PlayerHistory::kMaxStartingNames);
}

// The names `argument` takes that may start with `start`.
std::vector<std::string> namesFor(AdminSession& session, Argument argument,
                                  std::string_view start) {
  std::vector<std::string> names;
  if (namesPlayer(argument) || isNameArgument(argument)) names = playerNames(session);
  if (isNameArgument(argument)) {
    for (std::string& name : recordedNames(session, start)) names.push_back(std::move(name));
  }
  return names;
}

// What follows `phrase` and a blank in the names `argument` takes that
// start so: the rest of a name of several words, "Bob" of "Big Bob".
std::vector<std::string> nameContinuations(AdminSession& session, Argument argument,
                                           const std::string& phrase) {
  std::string start = phrase + " ";
  std::vector<std::string> rests;
  for (const std::string& name : namesFor(session, argument, start)) {
    if (startsWithIgnoringCase(name, start)) rests.push_back(name.substr(start.size()));
  }
  return rests;
}

// How many of `typed` the argument takes: the most that are a player's
// id or whole name, else one word.
size_t wordsTaken(AdminSession& session, Argument argument, Words typed) {
  if (!namesPlayer(argument)) return 1;
  for (size_t count = typed.size(); count > 1; --count) {
    if (exactPlayer(session.players(), joined(typed.first(count)))) return count;
  }
  return 1;
}

// What the act's argument after the `typed` words takes.
std::vector<std::string> argumentCompletions(AdminSession& session, const Act& act, Words typed,
                                             std::string_view word) {
  size_t at = 0;
  for (Argument argument : act.arguments) {
    if (at == typed.size()) {
      if (argument == Argument::kLevel) {
        return {std::to_string(kModeratorLevel), std::to_string(kAdminLevel),
                std::to_string(kSeniorLevel)};
      }
      return namesFor(session, argument, word);
    }
    if (argument == Argument::kText || argument == Argument::kReason) return {};
    // A name of several words may still go on: offer its next word.
    if (namesPlayer(argument) || isNameArgument(argument)) {
      std::vector<std::string> rests =
          nameContinuations(session, argument, joined(typed.subspan(at)));
      if (!rests.empty()) return rests;
    }
    at += wordsTaken(session, argument, typed.subspan(at));
  }
  return {};
}

std::vector<std::string> scriptNames(AdminSession& session, bool loadedOnly,
                                     std::string_view prefix = {}) {
  std::vector<std::string> names;
  for (const auto& script : session.scripts().all()) {
    if (!loadedOnly || script->loaded()) names.push_back(std::string(prefix) + script->name);
  }
  return names;
}

}  // namespace

std::vector<std::string> ConsoleCommands::completions(std::string_view lineBeforeWord,
                                                      std::string_view word) {
  std::vector<std::string_view> typed = wordsOf(lineBeforeWord);
  std::vector<std::string> players = playerNames(session_);
  if (typed.empty()) {
    std::vector<std::string> words = allCommandWords();
    words.insert(words.end(), players.begin(), players.end());
    return words;
  }
  // Chat names players.
  if (!typed.front().starts_with('.')) return players;
  std::string_view command = typed.front().substr(1);
  Words after = Words(typed).subspan(1);
  if (command == "reload" || command == "unload") {
    return after.empty() ? scriptNames(session_, command == "unload") : std::vector<std::string>{};
  }
  if (command == "lua") {
    if (!after.empty() || !word.starts_with('@')) return {};
    return scriptNames(session_, true, "@");
  }
  std::vector<std::string> secondWords;
  for (const Act* act : session_.commands().typedActs(kConsoleDoor)) {
    std::string_view actWord = act->word;
    if (actWord == command) return argumentCompletions(session_, *act, after, word);
    // "admin add": the second word, then the act's arguments.
    size_t space = actWord.find(' ');
    if (space == std::string_view::npos || actWord.substr(0, space) != command) continue;
    std::string_view second = actWord.substr(space + 1);
    if (after.empty()) secondWords.emplace_back(second);
    if (!after.empty() && after.front() == second) {
      return argumentCompletions(session_, *act, after.subspan(1), word);
    }
  }
  // The console's other commands and the scripts' take no completion.
  return secondWords;
}

}  // namespace gsadmin
