#include "script/event_manager.h"

#include <algorithm>
#include <cassert>

#include "script/script_manager.h"

namespace gsadmin {

const EventHandler* EventManager::addHandler(std::string_view eventName,
                                             std::string_view functionName, uint64_t owner) {
  if (handlers_.size() >= kMaxHandlers) return nullptr;
  handlers_.push_back({std::string(eventName), std::string(functionName), owner, nextSerial_++});
  return &handlers_.back();
}

namespace {

auto matching(std::string_view eventName, std::string_view functionName, uint64_t owner) {
  return [=](const EventHandler& handler) {
    return handler.owner == owner && handler.eventName == eventName &&
           handler.functionName == functionName;
  };
}

}  // namespace

const EventHandler* EventManager::findHandler(std::string_view eventName,
                                              std::string_view functionName, uint64_t owner) const {
  auto it =
      std::find_if(handlers_.begin(), handlers_.end(), matching(eventName, functionName, owner));
  return it == handlers_.end() ? nullptr : &*it;
}

void EventManager::removeHandler(std::string_view eventName, std::string_view functionName,
                                 uint64_t owner) {
  auto it =
      std::find_if(handlers_.begin(), handlers_.end(), matching(eventName, functionName, owner));
  if (it != handlers_.end()) handlers_.erase(it);
}

void EventManager::removeOwned(uint64_t owner) {
  std::erase_if(handlers_, [owner](const EventHandler& handler) { return handler.owner == owner; });
}

size_t EventManager::countOwned(uint64_t owner) const {
  return static_cast<size_t>(
      std::count_if(handlers_.begin(), handlers_.end(),
                    [owner](const EventHandler& handler) { return handler.owner == owner; }));
}

void EventManager::fireNamed(Script& script, std::string_view eventName,
                             std::span<const EventArgument> arguments) {
  uint64_t owner = script.id;
  uint64_t lastCalled = 0;
  for (;;) {
    // Resume after the record called last, wherever it now stands.
    auto it = std::upper_bound(
        handlers_.begin(), handlers_.end(), lastCalled,
        [](uint64_t serial, const EventHandler& handler) { return serial < handler.serial; });
    while (it != handlers_.end() &&
           (it->eventName != eventName || (it->owner != owner && it->owner != kEveryScript))) {
      ++it;
    }
    if (it == handlers_.end() || !script.loaded()) return;
    lastCalled = it->serial;

    // The name and the arguments are copied before any Lua runs: a finaliser
    // may add handlers during the call and move the records.
    scripts_.fetchFunction(it->functionName);
    for (const EventArgument& argument : arguments) {
      if (argument.isText) {
        scripts_.pushString(argument.text);
      } else {
        scripts_.pushInteger(argument.integer);
      }
    }
    // May change handlers_, never the list of scripts.
    scripts_.callFunctionIn(script, static_cast<int>(arguments.size()));
  }
}

void EventManager::fire(Event event, std::span<const EventArgument> arguments) {
  assert(matchesShape(event, arguments));
  const std::vector<std::unique_ptr<Script>>& scripts = scripts_.all();
  // By index: the list is not expected to change during a dispatch, and
  // this stays safe if it grows.
  for (size_t i = 0; i < scripts.size(); ++i) {
    Script& script = *scripts[i];
    if (script.loaded()) fireNamed(script, eventInfo(event).name, arguments);
  }
}

void EventManager::fireIn(Script& script, Event event, std::span<const EventArgument> arguments) {
  assert(matchesShape(event, arguments));
  if (script.loaded()) fireNamed(script, eventInfo(event).name, arguments);
}

bool EventManager::hasHandler(std::string_view eventName) const {
  for (const EventHandler& handler : handlers_) {
    if (handler.eventName == eventName) return true;
  }
  return false;
}

}  // namespace gsadmin
