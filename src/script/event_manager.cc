#include "script/event_manager.h"

#include <algorithm>
#include <cassert>

#include "script/script_manager.h"

namespace gsadmin {

const EventHandler* EventManager::addHandler(std::string_view eventName,
                                             std::string_view functionName) {
  if (handlers_.size() >= kMaxHandlers) return nullptr;
  handlers_.push_back({std::string(eventName), std::string(functionName), nextSerial_++});
  return &handlers_.back();
}

namespace {

auto matching(std::string_view eventName, std::string_view functionName) {
  return [=](const EventHandler& handler) {
    return handler.eventName == eventName && handler.functionName == functionName;
  };
}

}  // namespace

const EventHandler* EventManager::findHandler(std::string_view eventName,
                                              std::string_view functionName) const {
  auto it = std::find_if(handlers_.begin(), handlers_.end(), matching(eventName, functionName));
  return it == handlers_.end() ? nullptr : &*it;
}

void EventManager::removeHandler(std::string_view eventName, std::string_view functionName) {
  auto it = std::find_if(handlers_.begin(), handlers_.end(), matching(eventName, functionName));
  if (it != handlers_.end()) handlers_.erase(it);
}

void EventManager::fireNamed(std::string_view eventName, std::span<const EventArgument> arguments) {
  uint64_t lastCalled = 0;
  for (;;) {
    // Resume after the record called last, wherever it now stands.
    auto it = std::upper_bound(
        handlers_.begin(), handlers_.end(), lastCalled,
        [](uint64_t serial, const EventHandler& handler) { return serial < handler.serial; });
    while (it != handlers_.end() && it->eventName != eventName) ++it;
    if (it == handlers_.end()) return;
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
    scripts_.callFunction(static_cast<int>(arguments.size()));  // may change handlers_
  }
}

void EventManager::fire(Event event, std::span<const EventArgument> arguments) {
  assert(matchesShape(event, arguments));
  fireNamed(eventInfo(event).name, arguments);
}

bool EventManager::hasHandler(std::string_view eventName) const {
  for (const EventHandler& handler : handlers_) {
    if (handler.eventName == eventName) return true;
  }
  return false;
}

}  // namespace gsadmin
