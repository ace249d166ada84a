#ifndef GSADMIN_SCRIPT_EVENT_MANAGER_H_
#define GSADMIN_SCRIPT_EVENT_MANAGER_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// One argument of an event: an integer or a text.
struct EventArgument {
  bool isText = false;
  int32_t integer = 0;
  std::string_view text;
};

// The registered event handlers in registration order, and the firing of
// events into the scripts. The ScriptManager must outlive this manager.
//
// A dispatch walks the handlers in order and reads its next record only
// after the current call has returned: a handler added meanwhile for the
// event being fired is reached in the same dispatch; a removed record is
// never used again, and when the running handler removes itself the walk goes
// on with the handlers that followed it.
class EventManager {
 public:
  explicit EventManager(ScriptManager& scripts) : scripts_(scripts) {}
  EventManager(const EventManager&) = delete;
  EventManager& operator=(const EventManager&) = delete;

  // Appends a new record; equal pairs may be registered more than once.
  const EventHandler& addHandler(std::string_view eventName, std::string_view functionName);
  // The first record with exactly these names, or null.
  const EventHandler* findHandler(std::string_view eventName, std::string_view functionName) const;
  // Removes the first record with exactly these names, if any.
  void removeHandler(std::string_view eventName, std::string_view functionName);

  void fireEvent(std::string_view eventName);
  void fireEvent(std::string_view eventName, int32_t a);
  void fireEvent(std::string_view eventName, int32_t a, int32_t b);
  void fireEvent(std::string_view eventName, std::string_view s);
  void fireEvent(std::string_view eventName, int32_t a, std::string_view s);
  // Fires "onPlayerHealthChange" (player id, new health, old health).
  void fireHealthChange(int32_t playerId, int32_t newHealth, int32_t oldHealth);

  size_t size() const { return handlers_.size(); }
  const std::vector<EventHandler>& all() const { return handlers_; }

 private:
  void fire(std::string_view eventName, std::span<const EventArgument> arguments);

  ScriptManager& scripts_;
  std::vector<EventHandler> handlers_;  // ascending serial
  uint64_t nextSerial_ = 1;
};

}  // namespace gsadmin

#endif  // GSADMIN_SCRIPT_EVENT_MANAGER_H_
