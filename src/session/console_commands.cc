#include "session/console_commands.h"

#include <algorithm>

#include "console/local_command.h"
#include "console/printable.h"
#include "moderation/moderation_commands.h"
#include "session/admin_session.h"

namespace gsadmin {
namespace {

const char kHelpHint[] = "; .help lists the commands";

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

// `text` (spaces around it allowed) as a player id of the wire, 0 to 255.
std::optional<int> idText(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  size_t last = text.find_last_not_of(" \t");
  if (first == std::string_view::npos || last - first >= 3) return std::nullopt;
  int value = 0;
  for (char c : text.substr(first, last - first + 1)) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value <= 255 ? std::optional<int>(value) : std::nullopt;
}

// "3 Bob, 5 Bobby".
std::string playerList(const std::vector<PlayerEntry>& players) {
  std::string list;
  for (const PlayerEntry& player : players) {
    list += (list.empty() ? "" : ", ") + std::to_string(player.id) + " " + printable(player.name);
  }
  return list;
}

}  // namespace

ConsoleCommands::ConsoleCommands(AdminSession& session) : session_(session) {}

std::vector<std::string> ConsoleCommands::commandWords() {
  std::vector<std::string> words;
  for (const HelpRow& row : kHelp) {
    std::string_view usage = row.usage;
    words.emplace_back(usage.substr(0, usage.find(' ')));
  }
  for (const CommandHelp& row : ModerationCommands::consoleHelp()) {
    std::string_view usage = row.usage;
    words.emplace_back(usage.substr(0, usage.find(' ')));
  }
  return words;
}

void ConsoleCommands::handle(std::string_view line) {
  std::optional<LocalCommand> command = splitLocalCommand(line);
  if (!command) {
    if (line.empty()) return;
    admin::sendChat(session_, line);
    return;
  }
  runCommand(command->word, command->rest);
}

void ConsoleCommands::runCommand(const std::string& word, const std::string& rest) {
  if (word == "help") return showHelp();
  if (word == "players") return showPlayers();
  if (word == "vehicles") return showVehicles();
  if (word == "server") return showServer();
  if (word == "msg") return sendPrivateMessage(rest);
  if (word == "slap") return punish(word, rest, admin::slapPlayer);
  // With moderation on, a kick or a ban takes a reason and is recorded.
  if (word == "kick" && !session_.moderation()) return punish(word, rest, admin::kickPlayer);
  if (word == "ban" && !session_.moderation()) return punish(word, rest, admin::banPlayer);
  if (word == "kick" || word == "ban" || ModerationCommands::isConsoleWord(word)) {
    return runModeration(word, rest);
  }
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
  say("Lines that do not start with '.' go to the server as chat (its / commands too).");
  for (const HelpRow& row : kHelp) sayHelpRow(row.usage, row.what);
  for (const CommandHelp& row : ModerationCommands::consoleHelp()) sayHelpRow(row.usage, row.what);
  say("PLAYER is an id or a whole name (any case); .msg also takes the start of only one name.");
  showScriptCommandHelp();
  say("Scripts may add commands (addConsoleCommand, onConsoleCommand).");
}

void ConsoleCommands::sayHelpRow(std::string usage, std::string_view what) {
  usage.resize(std::max<size_t>(usage.size() + 2, 19), ' ');
  say(usage + std::string(what));
}

void ConsoleCommands::runModeration(const std::string& word, const std::string& rest) {
  if (Moderation* moderation = session_.moderation()) {
    moderation->commands().runTyped(word, rest);
  } else {
    refuse("." + word + ": moderation is off (--no-moderation)");
  }
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
  std::vector<PlayerEntry> entries;
  for (const auto& player : session_.players().all()) {
    entries.push_back({player->id, player->name});
  }
  PlayerMatch match = matchPlayer(typed, entries);
  std::string quoted = "'" + printable(typed) + "'";
  switch (match.kind) {
    case PlayerMatch::Kind::kOne: {
      const PlayerEntry& player = match.players.front();
      if (!match.startOfName || targeting == Targeting::kStartOfName) return player.id;
      say(quoted + " only starts the name of " + std::to_string(player.id) + " " +
          printable(player.name) + "; ." + word + " takes an id or a whole name");
      return std::nullopt;
    }
    case PlayerMatch::Kind::kNone:
      // An id the model does not hold goes to the action, which says so in
      // its own words.
      if (std::optional<int> id = idText(typed)) return id;
      if (typed.find_first_not_of(" \t") == std::string_view::npos) {
        refuse("." + word + " needs a player");
      } else {
        refuse("no player matches " + quoted);
      }
      return std::nullopt;
    case PlayerMatch::Kind::kAmbiguous:
      say(quoted + " matches " + std::to_string(match.players.size()) +
          " players: " + playerList(match.players));
      return std::nullopt;
    case PlayerMatch::Kind::kIdAndName: {
      std::vector<PlayerEntry> named(match.players.begin() + 1, match.players.end());
      say(quoted + " is both the id of " + playerList({match.players.front()}) +
          " and the name of " + playerList(named));
      return std::nullopt;
    }
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
