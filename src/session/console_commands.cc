#include "session/console_commands.h"

#include <algorithm>

#include "commands/commands.h"
#include "console/local_command.h"
#include "console/printable.h"
#include "context/player_target.h"
#include "session/admin_session.h"

namespace gsadmin {
namespace {

struct HelpRow {
  const char* usage;
  const char* what;
};

// The console's own commands; the admin acts (commands/act.h) are listed
// after ".server".
const HelpRow kHelp[] = {
    {".help", "this list"},
    {".server", "the server and the state of the connection"},
    {".scripts", "the scripts: name, state, handlers, timers, memory, last error"},
    {".reload [NAME]", "reloads every script, or the script NAME"},
    {".load PATH", "loads one more script (or a directory's)"},
    {".unload NAME", "stops the script NAME"},
    {".lua [@NAME] CODE", "runs CODE in the first script's state (or NAME's, or the console's)"},
    {".quit", "ends gsadmin"},
};

std::string_view wordOf(std::string_view usage) {
  return usage.substr(0, usage.find(' '));
}

}  // namespace

ConsoleCommands::ConsoleCommands(AdminSession& session) : session_(session) {}

std::vector<std::string> ConsoleCommands::commandWords() const {
  std::vector<std::string> words;
  for (const HelpRow& row : kHelp) words.emplace_back(wordOf(row.usage));
  for (const Act* act : session_.commands().typedActs(kConsoleDoor)) {
    std::string word = "." + std::string(wordOf(act->word));
    if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
  }
  return words;
}

void ConsoleCommands::handle(std::string_view line, const Actor& actor,
                             std::optional<uint64_t> mark) {
  std::optional<LocalCommand> command = splitLocalCommand(line);
  if (!command) {
    if (line.empty()) return;
    sendChat(line, actor);
    return;
  }
  runCommand(command->word, command->rest, actor, mark);
}

void ConsoleCommands::sendChat(std::string_view line, const Actor& actor) {
  ActRequest request;
  request.actor = actor;
  request.text = std::string(line);
  Outcome outcome = session_.commands().run(*findAct("chat"), kConsoleDoor, request);
  if (!outcome.done()) say(outcome.refusal);
}

Actor ConsoleCommands::operatorActor() const {
  Actor actor;
  const SessionSettings& settings = session_.settings();
  actor.name = settings.operatorName.value_or(settings.adminName);
  return actor;
}

void ConsoleCommands::runCommand(const std::string& word, const std::string& rest,
                                 const Actor& actor, std::optional<uint64_t> mark) {
  if (word == "help") return showHelp();
  if (word == "server") return showServer();
  if (session_.commands().runTyped(actor, kConsoleDoor, word, rest, mark)) return;
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
    sayHelpRow(row.usage, row.what);
    if (wordOf(row.usage) != ".server") continue;
    for (const Act* act : session_.commands().typedActs(kConsoleDoor)) {
      sayHelpRow(Commands::usage(*act, kConsoleDoor), act->help);
    }
  }
  say("PLAYER is an id or a whole name (any case); .msg also takes the start of only one name.");
  if (moderation) {
    say("NAME is a player's name, on the server or not; .warn, .tempban and .ban also take one. "
        "DURATION is numbers with units (s, m, h, d, w): 30m, 2h, 7d, 1d12h; at most 10 years.");
  }
  showScriptCommandHelp();
  say("Scripts may add commands (addConsoleCommand, onConsoleCommand).");
}

void ConsoleCommands::sayHelpRow(std::string usage, std::string_view what) {
  usage.resize(std::max<size_t>(usage.size() + 2, 19), ' ');
  say(usage + std::string(what));
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
