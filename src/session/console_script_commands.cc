// The console's commands about scripts: .scripts, .reload, .load, .unload,
// and the commands scripts add with addConsoleCommand.

#include <algorithm>
#include <string>

#include "console/printable.h"
#include "session/admin_session.h"
#include "session/console_commands.h"

namespace gsadmin {
namespace {

const char* statusName(ScriptStatus status) {
  switch (status) {
    case ScriptStatus::kLoaded:
      return "loaded";
    case ScriptStatus::kFailed:
      return "failed";
    case ScriptStatus::kStopped:
      return "stopped";
  }
  return "?";
}

std::string quoted(std::string_view name) {
  return "'" + printable(std::string(name)) + "'";
}

std::string counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

std::vector<std::string> ConsoleCommands::allCommandWords() const {
  std::vector<std::string> words = commandWords();
  for (const ScriptCommand& command : scriptCommands_) words.push_back("." + command.word);
  return words;
}

std::string ConsoleCommands::addScriptCommand(uint64_t owner, std::string_view word,
                                              std::string_view functionName,
                                              std::string_view help) {
  std::string dotted = "." + std::string(word);
  std::vector<std::string> builtIn = commandWords();
  if (std::find(builtIn.begin(), builtIn.end(), dotted) != builtIn.end()) {
    return dotted + " is a built-in command.";
  }
  for (ScriptCommand& command : scriptCommands_) {
    if (command.word != word) continue;
    if (command.owner != owner) {
      Script* other = session_.scripts().findById(command.owner);
      return dotted + " is taken by script " + quoted(other ? other->name : "?") + ".";
    }
    command.functionName = functionName;
    command.help = help;
    return "";
  }
  if (scriptCommands_.size() >= kMaxScriptCommands) return "Too many commands.";
  scriptCommands_.push_back(
      {owner, std::string(word), std::string(functionName), std::string(help)});
  return "";
}

void ConsoleCommands::removeScriptCommands(uint64_t owner) {
  std::erase_if(scriptCommands_,
                [owner](const ScriptCommand& command) { return command.owner == owner; });
}

bool ConsoleCommands::runScriptCommand(const std::string& word, const std::string& rest) {
  for (const ScriptCommand& command : scriptCommands_) {
    if (command.word != word) continue;
    Script* script = session_.scripts().findById(command.owner);
    if (script == nullptr) return false;
    ScriptManager& scripts = session_.scripts();
    scripts.fetchFunction(command.functionName);  // copied: the call may drop the command
    scripts.pushString(rest);
    scripts.callFunctionIn(*script, 1);
    return true;
  }
  return false;
}

void ConsoleCommands::showScriptCommandHelp() {
  for (const auto& script : session_.scripts().all()) {
    bool headed = false;
    for (const ScriptCommand& command : scriptCommands_) {
      if (command.owner != script->id) continue;
      if (!headed) say("Commands of script " + quoted(script->name) + ":");
      headed = true;
      std::string usage = "." + command.word;
      usage.resize(std::max<size_t>(usage.size() + 2, 19), ' ');
      say(usage + printable(command.help));
    }
  }
}

void ConsoleCommands::showScripts() {
  const auto& scripts = session_.scripts().all();
  if (scripts.empty()) return say("no scripts");
  for (const auto& script : scripts) {
    size_t kib = script->state && script->limiter ? script->limiter->bytesInUse() / 1024 : 0;
    std::string line = quoted(script->name) + " " + statusName(script->status) + ", " +
                       counted(session_.events().countOwned(script->id), "handler") + ", " +
                       counted(session_.timers().countOwned(script->id), "timer") + ", " +
                       std::to_string(kib) + " KiB";
    if (!script->lastError.empty()) line += ", last error: " + printable(script->lastError);
    say(line);
  }
}

Script* ConsoleCommands::loadedScript(const std::string& command, std::string_view name) {
  if (name.empty()) {
    refuse("." + command + " needs a script name");
    return nullptr;
  }
  Script* script = session_.scripts().find(name);
  if (script == nullptr || (command != "reload" && !script->loaded())) {
    refuse("no script named " + quoted(name) + " is loaded");
    return nullptr;
  }
  return script;
}

void ConsoleCommands::reload(const std::string& rest) {
  if (rest.empty()) {
    size_t known = session_.scripts().all().size();
    size_t loaded = session_.reloadScript();
    return say("reloaded " + std::to_string(loaded) + " of " + counted(known, "script"));
  }
  Script* script = loadedScript("reload", rest);
  if (script == nullptr) return;
  bool loaded = session_.reloadScript(*script);
  say((loaded ? "reloaded " : "failed to reload ") + quoted(script->name));
}

void ConsoleCommands::load(const std::string& rest) {
  if (rest.empty()) return refuse(".load needs a path");
  if (rest.size() > ScriptManager::kMaxPathBytes) return refuse("the path is too long");
  size_t loaded = session_.loadScript(rest);
  say("loaded " + counted(loaded, "script") + " from " + quoted(rest));
}

void ConsoleCommands::unload(const std::string& rest) {
  Script* script = loadedScript("unload", rest);
  if (script == nullptr) return;
  session_.unloadScript(*script);
  say("unloaded " + quoted(script->name));
}

}  // namespace gsadmin
