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
    serials_.clear();
    everyScript_.reset();
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
  // The serials between which an owner's records lie (some may be gone).
  struct SerialRange {
    uint64_t first;
    uint64_t last;
  };

  void fireNamed(Script& script, Event event, std::span<const EventArgument> arguments);
  // fire() while script code runs: an API function acted and the event
  // tells the scripts; those in a call are left out.
  void fireNested(Event event, std::span<const EventArgument> arguments);
  // Where the records `owner`'s dispatch may call lie: its own and those
  // for every script. False when there are none.
  bool rangeFor(uint64_t owner, SerialRange* range) const;
  const SerialRange* findRange(uint64_t owner) const;
  // The records of one event: how many there are, and the serials between
  // which they lie (some may be gone).
  struct EventRecords {
    size_t count = 0;
    SerialRange range{0, 0};
  };
  // Where one script's dispatch of one event looks: the serials between
  // which its records lie, those of the event's that are the script's own
  // or every script's; the owner need not be compared when all are its own.
  struct Walk {
    uint64_t owner = 0;
    bool ownersMatch = false;
    SerialRange range{0, 0};
  };
  // False when nothing is `owner`'s to call for `event`.
  bool walkFor(uint64_t owner, Event event, Walk* walk) const;
  // The index of the first record at or after `from` that the dispatch of
  // `event` along `walk` calls; handlers_.size() when none.
  size_t nextHandler(const Walk& walk, Event event, size_t from) const;
  // The index of the first record whose serial is above `serial`.
  size_t indexAfter(uint64_t serial) const;
  // Calls `handler`'s function in `script`; may change the records.
  void callHandler(Script& script, EventHandler& handler, std::span<const EventArgument> arguments);
  // Counts the records of each event again, after some were removed.
  void recountEvents();

  ScriptManager& scripts_;
  std::vector<EventHandler> handlers_;  // ascending serial
  // By owner, so that a dispatch into one of several scripts walks only
  // the part of the list where that script's records lie. One entry a
  // script: a short list is searched faster than a map.
  std::vector<std::pair<uint64_t, SerialRange>> serials_;
  // The same for the records of every script, kept apart so that a
  // dispatch need not search for them.
  std::optional<SerialRange> everyScript_;
  uint64_t nextSerial_ = 1;
  // Counts the changes of the list, so that a dispatch looks for its walk
  // again only after a call changed it.
  uint64_t changes_ = 0;
  // By Event, so that an event no handler waits for costs one test.
  std::array<EventRecords, std::size(kEventTable)> byEvent_{};
  std::array<uint64_t, std::size(kEventTable)> fired_{};
  EventSink* watcher_ = nullptr;
};

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_EVENT_MANAGER_H_
