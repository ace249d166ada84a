#include "script/event_manager.h"

#include <algorithm>
#include <cassert>

#include "script/script_manager.h"

namespace gsadmin {

const EventHandler* EventManager::addHandler(std::string_view eventName,
                                             std::string_view functionName, uint64_t owner) {
  if (handlers_.size() >= kMaxHandlers) return nullptr;
  uint64_t serial = nextSerial_++;
  ++changes_;
  handlers_.push_back(
      {std::string(eventName), std::string(functionName), owner, serial, eventNamed(eventName)});
  if (std::optional<Event> event = handlers_.back().event) {
    byEvent_[static_cast<size_t>(*event)].push_back({owner, serial, handlers_.size() - 1});
  }
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
  if (it == handlers_.end()) return;
  handlers_.erase(it);
  listEvents();
  ++changes_;
}

void EventManager::removeOwned(uint64_t owner) {
  std::erase_if(handlers_, [owner](const EventHandler& handler) { return handler.owner == owner; });
  listEvents();
  ++changes_;
}

void EventManager::listEvents() {
  for (std::vector<Entry>& entries : byEvent_) entries.clear();
  for (size_t i = 0; i < handlers_.size(); ++i) {
    const EventHandler& handler = handlers_[i];
    if (handler.event) {
      byEvent_[static_cast<size_t>(*handler.event)].push_back({handler.owner, handler.serial, i});
    }
  }
}

size_t EventManager::countOwned(uint64_t owner) const {
  return static_cast<size_t>(
      std::count_if(handlers_.begin(), handlers_.end(),
                    [owner](const EventHandler& handler) { return handler.owner == owner; }));
}

// Inline into each firing: every event a script handles goes through it.
[[gnu::always_inline]] inline void EventManager::fireNamed(
    Script& script, Event event, std::span<const EventArgument> arguments) {
  // By reference: a call may add to the list or make it again.
  const std::vector<Entry>& entries = byEvent_[static_cast<size_t>(event)];
  uint64_t seen = changes_;
  uint64_t lastCalled = 0;
  size_t next = 0;
  for (;;) {
    // After a call changed the records, the walk finds its place again:
    // the first record after the last one called.
    if (seen != changes_) {
      seen = changes_;
      next = static_cast<size_t>(std::upper_bound(entries.begin(), entries.end(), lastCalled,
                                                  [](uint64_t serial, const Entry& entry) {
                                                    return serial < entry.serial;
                                                  }) -
                                 entries.begin());
    }
    while (next < entries.size() && entries[next].owner != script.id &&
           entries[next].owner != kEveryScript) {
      ++next;
    }
    if (next == entries.size() || !script.loaded()) return;
    EventHandler& handler = handlers_[entries[next].index];
    lastCalled = handler.serial;
    ++next;
    // Through the name's registry slot when it has one, else by the name.
    if (handler.nameRef == 0 || !scripts_.callByRefIn(script, handler.nameRef, arguments)) {
      callByName(script, handler, arguments);
    }
  }
}

void EventManager::callByName(Script& script, EventHandler& handler,
                              std::span<const EventArgument> arguments) {
  // The name and the arguments are copied before any Lua runs: a finaliser
  // may add handlers during the call and move the records.
  uint64_t before = changes_;
  scripts_.fetchFunction(handler.functionName);
  for (const EventArgument& argument : arguments) {
    if (argument.isText) {
      scripts_.pushString(argument.text);
    } else {
      scripts_.pushInteger(argument.integer);
    }
  }
  // May change handlers_, never the list of scripts.
  int nameRef = scripts_.callFunctionIn(script, static_cast<int>(arguments.size()));
  // The record is still where it was only when nothing changed the list.
  if (changes_ == before && handler.owner == script.id) handler.nameRef = nameRef;
}

void EventManager::fire(Event event, std::span<const EventArgument> arguments) {
  assert(matchesShape(event, arguments));
  ++fired_[static_cast<size_t>(event)];
  if (watcher_ != nullptr) watcher_->fire(event, arguments);
  // Nothing to walk when no script has a handler for it: most events of a
  // busy server have none.
  if (byEvent_[static_cast<size_t>(event)].empty()) return;
  if (scripts_.scriptRunning()) {
    fireNested(event, arguments);
    return;
  }
  const std::vector<std::unique_ptr<Script>>& scripts = scripts_.all();
  // By index: the list is not expected to change during a dispatch, and
  // this stays safe if it grows.
  for (size_t i = 0; i < scripts.size(); ++i) {
    Script& script = *scripts[i];
    if (script.loaded()) fireNamed(script, event, arguments);
  }
}

void EventManager::fireNested(Event event, std::span<const EventArgument> arguments) {
  ScriptManager::CallState saved = scripts_.saveCallState();
  const std::vector<std::unique_ptr<Script>>& scripts = scripts_.all();
  for (size_t i = 0; i < scripts.size(); ++i) {
    Script& script = *scripts[i];
    // A script in a call (the one that acted, or one up its chain of
    // calls) is not entered again: that would break the code it runs.
    if (script.loaded() && !script.limiter->inCall()) fireNamed(script, event, arguments);
  }
  scripts_.restoreCallState(std::move(saved));
}

void EventManager::fireIn(Script& script, Event event, std::span<const EventArgument> arguments) {
  assert(matchesShape(event, arguments));
  if (script.loaded()) fireNamed(script, event, arguments);
}

bool EventManager::hasHandler(std::string_view eventName) const {
  for (const EventHandler& handler : handlers_) {
    if (handler.eventName == eventName) return true;
  }
  return false;
}

}  // namespace gsadmin
