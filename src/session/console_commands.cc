#include "session/console_commands.h"

#include <algorithm>

#include "console/local_command.h"
#include "console/printable.h"
#include "context/player_target.h"
#include "moderation/moderation_commands.h"
#include "session/admin_session.h"

namespace gsadmin {
namespace {

struct HelpRow {
  const char* usage;
  const char* what;
};

const HelpRow kHelp[] = {
    {".help", "this list"},
    {".players", "the players: id, name, kills, deaths, health, status, vehicle"},
    {".vehicles", "the vehicles in use: id, name, health, driver, passengers"},
    {".server", "the server and the state of the connection"},
    {".msg PLAYER TEXT", "a private message to the player"},
    {".slap PLAYER", "slaps the player"},
    {".kick PLAYER [REASON]", "kicks the player"},
    {".ban PLAYER [REASON]", "bans the player (the server's own ban)"},
    {".scripts", "the scripts: name, state, handlers, timers, memory, last error"},
    {".reload [NAME]", "reloads every script, or the script NAME"},
    {".load PATH", "loads one more script (or a directory's)"},
    {".unload NAME", "stops the script NAME"},
    {".lua [@NAME] CODE", "runs CODE in the first script's state (or NAME's, or the console's)"},
    {".quit", "ends gsadmin"},
};

// The rows as they read under --no-moderation, where .kick and .ban take no
// reason and the moderation's commands are not there.
const HelpRow kPlainRows[] = {
    {".kick PLAYER", "kicks the player"},
    {".ban PLAYER", "bans the player"},
};

std::string_view wordOf(std::string_view usage) {
  return usage.substr(0, usage.find(' '));
}

HelpRow helpRow(const HelpRow& row, bool moderation) {
  for (const HelpRow& plain : kPlainRows) {
    if (!moderation && wordOf(plain.usage) == wordOf(row.usage)) return plain;
  }
  return row;
}

}  // namespace

ConsoleCommands::ConsoleCommands(AdminSession& session) : session_(session) {}

std::vector<std::string> ConsoleCommands::commandWords(bool moderation) {
  std::vector<std::string> words;
  for (const HelpRow& row : kHelp) words.emplace_back(wordOf(row.usage));
  if (!moderation) return words;
  for (const CommandHelp& row : ModerationCommands::consoleHelp()) {
    std::string word(wordOf(row.usage));
    if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
  }
  return words;
}

void ConsoleCommands::handle(std::string_view line, const Actor& actor) {
  std::optional<LocalCommand> command = splitLocalCommand(line);
  if (!command) {
    if (line.empty()) return;
    admin::sendChat(session_, line);
    return;
  }
  runCommand(command->word, command->rest, actor);
}

Actor ConsoleCommands::operatorActor() const {
  Actor actor;
  const SessionSettings& settings = session_.settings();
  actor.name = settings.operatorName.value_or(settings.adminName);
  return actor;
}

void ConsoleCommands::runCommand(const std::string& word, const std::string& rest,
                                 const Actor& actor) {
  if (word == "help") return showHelp();
  if (word == "players") return showPlayers();
  if (word == "vehicles") return showVehicles();
  if (word == "server") return showServer();
  if (word == "msg") return sendPrivateMessage(rest);
  if (word == "slap") return punish(word, rest, admin::slapPlayer);
  // With moderation on, a kick or a ban takes a reason and is recorded.
  if (Moderation* moderation = session_.moderation()) {
    if (word == "kick" || word == "ban" || ModerationCommands::isConsoleWord(word)) {
      return moderation->commands().runTyped(actor, word, rest);
    }
  }
  if (word == "kick") return punish(word, rest, admin::kickPlayer);
  if (word == "ban") return punish(word, rest, admin::banPlayer);
  if (word == "scripts") return showScripts();
  if (word == "reload") return reload(rest);
  if (word == "load") return load(rest);
  if (word == "unload") return unload(rest);
  if (word == "lua") return runLua(rest);
  if (word == "quit") return quit();
  if (runScriptCommand(word, rest)) return;
  const EventInfo& event = eventInfo(Event::kConsoleCommand);
  if (!word.empty() && session_.events().hasHandler(event.name)) {
    session_.events().fireEvent(Event::kConsoleCommand, word, rest);
    return;
  }
  refuse("unknown command '." + printable(word) + "'");
}

void ConsoleCommands::showHelp() {
  bool moderation = session_.moderation() != nullptr;
  say("Lines that do not start with '.' go to the server as chat (its / commands too).");
  for (const HelpRow& row : kHelp) {
    HelpRow shown = helpRow(row, moderation);
    sayHelpRow(shown.usage, shown.what);
    // The moderation's commands follow the console's own punishing ones.
    if (!moderation || wordOf(row.usage) != ".ban") continue;
    for (const CommandHelp& more : ModerationCommands::consoleHelp()) {
      sayHelpRow(more.usage, more.what);
    }
  }
  say("PLAYER is an id or a whole name (any case); .msg also takes the start of only one name.");
  if (moderation) {
    say("NAME is a player's name, on the server or not. DURATION is numbers with units (s, m, "
        "h, d, w): 30m, 2h, 7d, 1d12h; at most 10 years.");
  }
  showScriptCommandHelp();
  say("Scripts may add commands (addConsoleCommand, onConsoleCommand).");
}

void ConsoleCommands::sayHelpRow(std::string usage, std::string_view what) {
  usage.resize(std::max<size_t>(usage.size() + 2, 19), ' ');
  say(usage + std::string(what));
}

void ConsoleCommands::punish(const std::string& word, const std::string& rest,
                             admin::PlayerAction action) {
  std::optional<int> id = namedPlayer(word, rest, Targeting::kPunishing);
  if (id) action(session_, static_cast<uint8_t>(*id));
}

void ConsoleCommands::sendPrivateMessage(const std::string& rest) {
  size_t space = rest.find(' ');
  if (rest.empty() || space == std::string::npos || space + 1 == rest.size()) {
    refuse(".msg needs a player and a text");
    return;
  }
  std::optional<int> id =
      namedPlayer("msg", std::string_view(rest).substr(0, space), Targeting::kStartOfName);
  std::string_view text = std::string_view(rest).substr(space + 1);
  if (id) admin::sendMessage(session_, static_cast<uint8_t>(*id), text);
}

std::optional<int> ConsoleCommands::namedPlayer(const std::string& word, std::string_view typed,
                                                Targeting targeting) {
  PlayerTarget target =
      targetPlayer(session_.players(), typed, "." + word, targeting == Targeting::kPunishing);
  if (target.id) return target.id;
  if (target.refusal.empty()) {
    refuse("." + word + " needs a player");
  } else if (target.namedNobody) {
    refuse(target.refusal);
  } else {
    say(target.refusal);
  }
  return std::nullopt;
}

void ConsoleCommands::runLua(const std::string& rest) {
  std::string_view code = rest;
  Script* script = nullptr;
  if (code.starts_with('@')) {
    size_t space = code.find(' ');
    script =
        loadedScript("lua", code.substr(1, space == std::string_view::npos ? space : space - 1));
    if (script == nullptr) return;
    code = space == std::string_view::npos ? std::string_view() : code.substr(space + 1);
  }
  if (code.find_first_not_of(" \t") == std::string::npos) {
    refuse(".lua needs Lua code");
    return;
  }
  std::vector<std::string> results;
  std::string error;
  if (!session_.scripts().runChunk(code, &results, &error, script)) {
    say("error: " + printable(error));
    return;
  }
  if (results.empty()) return;
  std::string joined;
  for (const std::string& result : results) {
    joined += (joined.empty() ? "" : "\t") + printable(result);
  }
  say(joined);
}

void ConsoleCommands::quit() {
  // The loop ends, and fires "onScriptStop" as on a signal.
  quitRequested_ = true;
}

void ConsoleCommands::say(std::string_view text) {
  session_.console().line("* " + std::string(text));
}

void ConsoleCommands::refuse(const std::string& why) {
  say(why + kHelpHint);
}

}  // namespace gsadmin
