// The pending call of ScriptManager and the calls into a script's state.

#include <span>
#include <string>

#include "console/printable.h"
#include "script/lua.h"
#include "script/pending_call.h"
#include "script/script_manager.h"

namespace gsadmin {

void ScriptManager::fetchFunction(std::string_view name) {
  pendingName_.assign(name.data(), name.size());
  pendingCount_ = 0;
}

ScriptArgument& ScriptManager::nextArgument(bool isText, bool isFields) {
  // The slots are reused from event to event, texts keeping their storage.
  if (pendingCount_ == pendingArguments_.size()) pendingArguments_.emplace_back();
  ScriptArgument& argument = pendingArguments_[pendingCount_++];
  argument.isText = isText;
  argument.isFields = isFields;
  return argument;
}

void ScriptManager::pushInteger(int32_t value) {
  nextArgument(false, false).integer = value;
}

void ScriptManager::pushString(std::string_view text) {
  nextArgument(true, false).text.assign(text.data(), text.size());
}

void ScriptManager::pushFields(std::vector<std::pair<std::string, std::string>> fields) {
  nextArgument(false, true).fields = std::move(fields);
}

// Inline: both calls below are on the way of every event a script handles.
inline int ScriptManager::callPushed(Script& script, int pushed) {
  running_ = script.limiter.get();
  script.limiter->beginCall();
  int status = lua_pcall(script.state.get(), pushed - 1, 0, 0);
  script.limiter->endCall();
  return status;
}

inline void ScriptManager::afterCall(Script& script) {
  if (script.limiter->finalisersQueued()) runQueuedFinalisers(script, console_);
  running_ = nullptr;
}

int ScriptManager::callFunctionIn(Script& script, int argumentCount) {
  if (!script.loaded()) return 0;
  std::span<const ScriptArgument> arguments(pendingArguments_.data(), pendingCount_);
  if (argumentCount >= 0 && static_cast<size_t>(argumentCount) < arguments.size()) {
    arguments = arguments.first(static_cast<size_t>(argumentCount));
  }
  lua_State* L = script.state.get();
  int nameRef = 0;
  for (const auto& [name, ref] : script.nameRefs) {
    if (name == pendingName_) {
      nameRef = ref;
      break;
    }
  }
  int newNameRef = 0;
  bool remember = nameRef == 0 && script.nameRefs.size() < Script::kMaxNameRefs;
  PendingCall call{&pendingName_, arguments, nameRef, remember, &newNameRef};
  int pushed = pushDirectCall(L, call);
  if (pushed == 0) {
    // Neither push allocates: the trampoline is found, not made.
    lua_rawgeti(L, LUA_REGISTRYINDEX, script.trampolineRef);
    lua_pushlightuserdata(L, &call);
    pushed = 2;
  }
  int status = callPushed(script, pushed);
  if (newNameRef != 0) script.nameRefs.emplace_back(pendingName_, newNameRef);
  if (status != 0) reportCallFailure(script, status, pendingName_);
  afterCall(script);
  return nameRef != 0 ? nameRef : newNameRef;
}

bool ScriptManager::callByRefIn(Script& script, int nameRef,
                                std::span<const EventArgument> arguments) {
  if (!script.loaded()) return false;
  int pushed = pushDirectEventCall(script.state.get(), nameRef, arguments);
  if (pushed == 0) return false;
  int status = callPushed(script, pushed);
  if (status != 0) reportRefFailure(script, status, nameRef);
  afterCall(script);
  return true;
}

void ScriptManager::reportRefFailure(Script& script, int status, int nameRef) {
  // The name is needed only now: its registry slot holds it.
  reportCallFailure(script, status, registeredName(script.state.get(), nameRef));
}

void ScriptManager::reportCallFailure(Script& script, int status, const std::string& name) {
  countError(std::string(untilNul(script.name)));
  console_.line("LUA: Error in function '" + std::string(untilNul(name)) + "'");
  reportFailure(script, status, console_);
}

void ScriptManager::callFunction(int argumentCount) {
  for (size_t i = 0; i < scripts_.size(); ++i) callFunctionIn(*scripts_[i], argumentCount);
  pendingCount_ = 0;
}

}  // namespace gsadmin
