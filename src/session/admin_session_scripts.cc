#include <string>
#include <vector>

#include "console/printable.h"
#include "session/admin_session.h"
#include "session/console_commands.h"

// The session's scripts coming and going: reloads, loads and unloads, and
// what each drops of a script that stops.
namespace gsadmin {

void AdminSession::stopScripts() {
  events_->fireEvent(Event::kScriptStop);
  // The states are closed first: their finalisers may still register
  // handlers, set timers or open a transaction, none of which may outlive
  // them.
  scripts_->unloadScripts();
  events_->clear();
  timers_.clear();
  http_->cancelAll();
  commands_->removeScriptCommands();
  gameWords_->removeAll();
  rollBackDatabaseTransaction();
}

size_t AdminSession::reloadScript() {
  std::vector<Script*> chosen;
  for (const auto& script : scripts_->all()) {
    if (script->status != ScriptStatus::kStopped) chosen.push_back(script.get());
  }
  stopScripts();
  size_t loaded = 0;
  for (Script* script : chosen) {
    if (scripts_->reload(*script) == nullptr) continue;
    console_->line("LUA: Script '" + std::string(untilNul(script->name)) + "' reloaded.");
    ++loaded;
  }
  dropFailed();
  events_->fireEvent(Event::kStart);
  return loaded;
}

void AdminSession::dropOwned(const Script& script) {
  events_->removeOwned(script.id);
  timers_.clearOwned(script.id);
  http_->cancelOwned(script.id);
  commands_->removeScriptCommands(script.id);
  gameWords_->removeOwned(script.id);
}

void AdminSession::unloadScript(Script& script) {
  events_->fireIn(script, Event::kScriptStop);
  scripts_->stop(script);
  dropOwned(script);
  rollBackDatabaseTransaction();
}

void AdminSession::dropFailed() {
  // Its handlers stay, as they always have, and are never called.
  for (const auto& script : scripts_->all()) {
    if (script->status != ScriptStatus::kFailed) continue;
    timers_.clearOwned(script->id);
    http_->cancelOwned(script->id);
    commands_->removeScriptCommands(script->id);
    gameWords_->removeOwned(script->id);
  }
}

bool AdminSession::reloadScript(Script& script) {
  unloadScript(script);
  if (scripts_->reload(script) == nullptr) {
    dropFailed();
    return false;
  }
  console_->line("LUA: Script '" + std::string(untilNul(script.name)) + "' reloaded.");
  events_->fireIn(script, Event::kStart);
  return true;
}

size_t AdminSession::loadScript(const std::string& path) {
  std::vector<ScriptSource> sources;
  if (!ScriptManager::expand(path, &sources)) {
    console_->line("LUA: Unable to load script '" + std::string(untilNul(path)) + "'");
    return 0;
  }
  size_t loaded = 0;
  for (const ScriptSource& source : sources) {
    if (Script* known = scripts_->find(source.name); known != nullptr && known->loaded()) {
      console_->line("LUA: Script '" + std::string(untilNul(source.name)) + "' is loaded already.");
      continue;
    }
    if (Script* script = scripts_->load(source)) {
      events_->fireIn(*script, Event::kStart);
      ++loaded;
    }
  }
  dropFailed();
  return loaded;
}

}  // namespace gsadmin
