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
    EventRecords& records = byEvent_[static_cast<size_t>(*event)];
    records.range = SerialRange{records.count == 0 ? serial : records.range.first, serial};
    ++records.count;
  }
  if (owner == kEveryScript) {
    everyScript_ = SerialRange{everyScript_ ? everyScript_->first : serial, serial};
    return &handlers_.back();
  }
  for (auto& [entryOwner, range] : serials_) {
    if (entryOwner == owner) {
      range.last = serial;
      return &handlers_.back();
    }
  }
  serials_.push_back({owner, SerialRange{serial, serial}});
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
  recountEvents();
  ++changes_;
}

void EventManager::removeOwned(uint64_t owner) {
  std::erase_if(handlers_, [owner](const EventHandler& handler) { return handler.owner == owner; });
  std::erase_if(serials_, [owner](const auto& entry) { return entry.first == owner; });
  if (owner == kEveryScript) everyScript_.reset();
  recountEvents();
  ++changes_;
}

void EventManager::recountEvents() {
  byEvent_ = {};
  for (const EventHandler& handler : handlers_) {
    if (!handler.event) continue;
    EventRecords& records = byEvent_[static_cast<size_t>(*handler.event)];
    if (records.count++ == 0) records.range.first = handler.serial;
    records.range.last = handler.serial;
  }
}

const EventManager::SerialRange* EventManager::findRange(uint64_t owner) const {
  if (owner == kEveryScript) return everyScript_ ? &*everyScript_ : nullptr;
  for (const auto& [entryOwner, range] : serials_) {
    if (entryOwner == owner) return &range;
  }
  return nullptr;
}

bool EventManager::rangeFor(uint64_t owner, SerialRange* range) const {
  const SerialRange* own = findRange(owner);
  const SerialRange* every = owner == kEveryScript ? nullptr : findRange(kEveryScript);
  if (own == nullptr && every == nullptr) return false;
  if (own == nullptr || every == nullptr) {
    *range = own != nullptr ? *own : *every;
    return true;
  }
  range->first = std::min(own->first, every->first);
  range->last = std::max(own->last, every->last);
  return true;
}

size_t EventManager::countOwned(uint64_t owner) const {
  return static_cast<size_t>(
      std::count_if(handlers_.begin(), handlers_.end(),
                    [owner](const EventHandler& handler) { return handler.owner == owner; }));
}

bool EventManager::walkFor(uint64_t owner, Event event, Walk* walk) const {
  const EventRecords& records = byEvent_[static_cast<size_t>(event)];
  if (records.count == 0) return false;
  walk->owner = owner;
  walk->range = records.range;
  // One owner, and it is this one: every record is its own, as with one
  // script, and only the events need comparing.
  walk->ownersMatch = serials_.size() == 1 && serials_.front().first == owner;
  if (walk->ownersMatch) return true;
  SerialRange own;
  if (!rangeFor(owner, &own)) return false;
  walk->range.first = std::max(walk->range.first, own.first);
  walk->range.last = std::min(walk->range.last, own.last);
  return walk->range.first <= walk->range.last;
}

size_t EventManager::indexAfter(uint64_t serial) const {
  auto it = std::upper_bound(
      handlers_.begin(), handlers_.end(), serial,
      [](uint64_t after, const EventHandler& handler) { return after < handler.serial; });
  return static_cast<size_t>(it - handlers_.begin());
}

size_t EventManager::nextHandler(const Walk& walk, Event event, size_t from) const {
  for (size_t i = from; i < handlers_.size(); ++i) {
    const EventHandler& handler = handlers_[i];
    if (handler.serial > walk.range.last) break;
    if (handler.event == event &&
        (walk.ownersMatch || handler.owner == walk.owner || handler.owner == kEveryScript)) {
      return i;
    }
  }
  return handlers_.size();
}

void EventManager::fireNamed(Script& script, Event event,
                             std::span<const EventArgument> arguments) {
  uint64_t lastCalled = 0;
  Walk walk;
  size_t from = 0;
  uint64_t seen = changes_ + 1;  // not changes_: the first pass looks
  for (;;) {
    // Looked for again only after a call changed the records; until then
    // the walk goes on from the record after the last one called.
    if (seen != changes_) {
      seen = changes_;
      if (!walkFor(script.id, event, &walk)) return;
      from = indexAfter(std::max(lastCalled, walk.range.first - 1));
    }
    size_t index = nextHandler(walk, event, from);
    if (index == handlers_.size() || !script.loaded()) return;
    from = index + 1;
    lastCalled = handlers_[index].serial;
    callHandler(script, handlers_[index], arguments);
  }
}

void EventManager::callHandler(Script& script, EventHandler& handler,
                               std::span<const EventArgument> arguments) {
  if (handler.nameRef != 0 && scripts_.callByRefIn(script, handler.nameRef, arguments)) return;
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
  if (byEvent_[static_cast<size_t>(event)].count == 0) return;
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
