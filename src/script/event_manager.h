#ifndef GSADMIN_SCRIPT_EVENT_MANAGER_H_
#define GSADMIN_SCRIPT_EVENT_MANAGER_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "events/events.h"

namespace gsadmin {

class ScriptManager;

// A pair of an event name and the name of the global function to call in
// every loaded script when that event fires. Names compare byte for byte.
struct EventHandler {
  std::string eventName;
  std::string functionName;
  // Order of registration; lets a dispatch find its place again after the
  // list changed under it.
  uint64_t serial = 0;
};

// The registered event handlers in registration order, and the firing of
// events into the scripts. The ScriptManager must outlive this manager.
//
// A dispatch walks the handlers in order and reads its next record only
// after the current call has returned: a handler added meanwhile for the
// event being fired is reached in the same dispatch; a removed record is
// never used again, and when the running handler removes itself the walk goes
// on with the handlers that followed it.
class EventManager : public EventSink {
 public:
  explicit EventManager(ScriptManager& scripts) : scripts_(scripts) {}
  EventManager(const EventManager&) = delete;
  EventManager& operator=(const EventManager&) = delete;

  // More handlers than this at once are refused, so that a runaway script
  // cannot exhaust the process's memory outside its own ceiling.
  static constexpr size_t kMaxHandlers = 100000;

  // Appends a new record; equal pairs may be registered more than once.
  // Null, with nothing added, when kMaxHandlers are registered.
  const EventHandler* addHandler(std::string_view eventName, std::string_view functionName);
  // The first record with exactly these names, or null.
  const EventHandler* findHandler(std::string_view eventName, std::string_view functionName) const;
  // Removes the first record with exactly these names, if any.
  void removeHandler(std::string_view eventName, std::string_view functionName);
  // True when some handler is registered for `eventName`.
  bool hasHandler(std::string_view eventName) const;

  // Removes every record. A dispatch under way calls no further handler.
  void clear() { handlers_.clear(); }

  // Calls every handler registered under the event's name, in every script,
  // with `arguments` (which must match the event's shape).
  void fire(Event event, std::span<const EventArgument> arguments) override;

  size_t size() const { return handlers_.size(); }
  const std::vector<EventHandler>& all() const { return handlers_; }

 private:
  void fireNamed(std::string_view eventName, std::span<const EventArgument> arguments);

  ScriptManager& scripts_;
  std::vector<EventHandler> handlers_;  // ascending serial
  uint64_t nextSerial_ = 1;
};

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_EVENT_MANAGER_H_
