#ifndef GSADMIN_SCRIPT_EVENT_MANAGER_H_
#define GSADMIN_SCRIPT_EVENT_MANAGER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "events/events.h"

namespace gsadmin {

class ScriptManager;

struct Script;

// A pair of an event name and the name of the global function to call in
// the script that registered it when that event fires. Names compare byte
// for byte.
struct EventHandler {
  std::string eventName;
  std::string functionName;
  // The id of the script it belongs to (Script::id); kEveryScript: a
  // handler the host registered, called in every loaded script.
  uint64_t owner = 0;
  // Order of registration; lets a dispatch find its place again after the
  // list changed under it.
  uint64_t serial = 0;
  // The event eventName names, so that a dispatch compares a number; none
  // for a name that is no event's, which nothing fires.
  std::optional<Event> event;
  // The registry slot of functionName in its owner's state once a call
  // there found or made one (0: none yet), so that later calls neither copy
  // nor compare the name. Never set for a record of every script.
  int nameRef = 0;
};

// The registered event handlers in registration order, and the firing of
// events into the scripts. The ScriptManager must outlive this manager.
//
// An event reaches the loaded scripts in load order, and within a script
// its handlers in registration order. A dispatch into one script walks the
// handlers in order and reads its next record only after the current call
// has returned: a handler added meanwhile for the
// event being fired is reached in the same dispatch; a removed record is
// never used again, and when the running handler removes itself the walk goes
// on with the handlers that followed it.
class EventManager : public EventSink {
 public:
  static constexpr uint64_t kEveryScript = 0;

  explicit EventManager(ScriptManager& scripts) : scripts_(scripts) {}
  EventManager(const EventManager&) = delete;
  EventManager& operator=(const EventManager&) = delete;

  // More handlers than this at once are refused, so that a runaway script
  // cannot exhaust the process's memory outside its own ceiling.
  static constexpr size_t kMaxHandlers = 100000;

  // Appends a new record of `owner`; equal pairs may be registered more
  // than once. Null, with nothing added, when kMaxHandlers are registered.
  const EventHandler* addHandler(std::string_view eventName, std::string_view functionName,
                                 uint64_t owner = kEveryScript);
  // The first record of `owner` with exactly these names, or null.
  const EventHandler* findHandler(std::string_view eventName, std::string_view functionName,
                                  uint64_t owner = kEveryScript) const;
  // Removes the first record of `owner` with exactly these names, if any.
  void removeHandler(std::string_view eventName, std::string_view functionName,
                     uint64_t owner = kEveryScript);
  // Removes every record of `owner`.
  void removeOwned(uint64_t owner);
  // The number of records of `owner`.
  size_t countOwned(uint64_t owner) const;
  // True when some handler is registered for `eventName`.
  bool hasHandler(std::string_view eventName) const;

  // Removes every record. A dispatch under way calls no further handler.
  void clear() {
    handlers_.clear();
    byEvent_ = {};
    ++changes_;
  }

  // Calls every handler registered under the event's name, in every loaded
  // script, with `arguments` (which must match the event's shape). Fired
  // while script code runs (by an API function), it leaves out the scripts
  // in a call, the acting one among them, which are not entered again.
  void fire(Event event, std::span<const EventArgument> arguments) override;
  // The same in `script` alone.
  void fireIn(Script& script, Event event, std::span<const EventArgument> arguments = {});

  // A sink that sees every event fire() fires, before the scripts' handlers:
  // the moderation rules. Null: none. It must outlive its watch.
  void setWatcher(EventSink* watcher) { watcher_ = watcher; }

  size_t size() const { return handlers_.size(); }
  const std::vector<EventHandler>& all() const { return handlers_; }
  // How often each event was fired through fire(), by Event, for the metrics.
  const std::array<uint64_t, std::size(kEventTable)>& firedCounts() const { return fired_; }

 private:
  // One record of an event, as its event's list holds it: whose it is,
  // its serial and where it is in handlers_, so that a dispatch looks only
  // at the event's records, and reads none but those it calls.
  struct Entry {
    uint64_t owner;
    uint64_t serial;
    size_t index;
  };

  void fireNamed(Script& script, Event event, std::span<const EventArgument> arguments);
  // fire() while script code runs: an API function acted and the event
  // tells the scripts; those in a call are left out.
  void fireNested(Event event, std::span<const EventArgument> arguments);
  // Calls `handler`'s function in `script` by its name, and gives the
  // record the name's registry slot; may change the records.
  void callByName(Script& script, EventHandler& handler, std::span<const EventArgument> arguments);
  // Makes the events' lists again, after records were removed.
  void listEvents();

  ScriptManager& scripts_;
  std::vector<EventHandler> handlers_;  // ascending serial
  // By Event, each in ascending serial: an event without handlers costs
  // one test, and one script's dispatch compares owners in one short list.
  std::array<std::vector<Entry>, std::size(kEventTable)> byEvent_;
  uint64_t nextSerial_ = 1;
  // Counts the changes of the list, so that a dispatch looks for its place
  // again only after a call changed it.
  uint64_t changes_ = 0;
  std::array<uint64_t, std::size(kEventTable)> fired_{};
  EventSink* watcher_ = nullptr;
};

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_EVENT_MANAGER_H_
