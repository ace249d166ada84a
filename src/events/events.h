#ifndef GSADMIN_EVENTS_EVENTS_H_
#define GSADMIN_EVENTS_EVENTS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace gsadmin {

// Every event the client fires into scripts. Firing names an enumerator, so
// a misspelt event does not compile; the table below gives each its name
// and argument shape, and a test holds the docs and annotations to it.
enum class Event {
  kStart,
  kConnect,
  kDisconnect,
  kPlayerJoin,
  kPlayerQuit,
  kPlayerPositionChange,
  kPlayerHealthChange,
  kPlayerVehicleEnter,
  kPlayerVehicleExit,
  kVehicleHealthChange,
  kAdminChat,
  kAdminMessage,
  kPlayerChat,
  kPlayerMessage,
  kPlayerDeath,
  kScriptStop,
  kConsoleCommand,
  kPlayerSanctioned,
  kPlayerReport,
};

struct EventInfo {
  Event event;
  std::string_view name;
  // One letter per argument, in order: 'i' an integer, 's' a text.
  std::string_view shape;
};

// In enumerator order.
inline constexpr EventInfo kEventTable[] = {
    {Event::kStart, "onStart", ""},
    {Event::kConnect, "onConnect", ""},
    {Event::kDisconnect, "onDisconnect", "i"},                      // reason
    {Event::kPlayerJoin, "onPlayerJoin", "i"},                      // player
    {Event::kPlayerQuit, "onPlayerQuit", "ii"},                     // player, reason
    {Event::kPlayerPositionChange, "onPlayerPositionChange", "i"},  // player
    {Event::kPlayerHealthChange, "onPlayerHealthChange", "iii"},    // player, new, old
    {Event::kPlayerVehicleEnter, "onPlayerVehicleEnter", "ii"},     // player, vehicle
    {Event::kPlayerVehicleExit, "onPlayerVehicleExit", "ii"},       // player, vehicle
    {Event::kVehicleHealthChange, "onVehicleHealthChange", "ii"},   // vehicle, health
    {Event::kAdminChat, "onAdminChat", "s"},                        // text
    {Event::kAdminMessage, "onAdminMessage", "s"},                  // text
    {Event::kPlayerChat, "onPlayerChat", "is"},                     // player, text
    {Event::kPlayerMessage, "onPlayerMessage", "is"},               // player, text
    {Event::kPlayerDeath, "onPlayerDeath", "iii"},                  // victim, killer, weapon
    {Event::kScriptStop, "onScriptStop", ""},
    {Event::kConsoleCommand, "onConsoleCommand", "ss"},  // word, rest
    // name, kind, seconds, reason, actor
    {Event::kPlayerSanctioned, "onPlayerSanctioned", "ssiss"},
    // report number, reporter, target, reason
    {Event::kPlayerReport, "onPlayerReport", "isss"},
};

constexpr bool eventTableInOrder() {
  for (size_t i = 0; i < std::size(kEventTable); ++i) {
    if (static_cast<size_t>(kEventTable[i].event) != i) return false;
  }
  return true;
}
static_assert(eventTableInOrder(), "kEventTable must follow the order of Event");

constexpr const EventInfo& eventInfo(Event event) {
  return kEventTable[static_cast<size_t>(event)];
}

// The event called `name` (byte for byte), or none.
std::optional<Event> eventNamed(std::string_view name);

// One argument of an event: an integer or a text. A text must stay live
// for the firing.
struct EventArgument {
  bool isText = false;
  int32_t integer = 0;
  std::string_view text;
};

// True when `arguments` have the event's shape.
bool matchesShape(Event event, std::span<const EventArgument> arguments);

// Where events go: the script layer's EventManager, or a recorder.
class EventSink {
 public:
  virtual ~EventSink() = default;

  // The one firing path: calls the handlers of `event` with `arguments`,
  // which must match its shape.
  virtual void fire(Event event, std::span<const EventArgument> arguments) = 0;

  // Shorthands for the shapes in the table; inline, as the game's
  // datagrams fire them by the hundred thousand a second.
  void fireEvent(Event event) { fire(event, {}); }
  void fireEvent(Event event, int32_t a) {
    EventArgument arguments[] = {{false, a, {}}};
    fire(event, arguments);
  }
  void fireEvent(Event event, int32_t a, int32_t b) {
    EventArgument arguments[] = {{false, a, {}}, {false, b, {}}};
    fire(event, arguments);
  }
  void fireEvent(Event event, int32_t a, int32_t b, int32_t c) {
    EventArgument arguments[] = {{false, a, {}}, {false, b, {}}, {false, c, {}}};
    fire(event, arguments);
  }
  void fireEvent(Event event, std::string_view s) {
    EventArgument arguments[] = {{true, 0, s}};
    fire(event, arguments);
  }
  void fireEvent(Event event, int32_t a, std::string_view s) {
    EventArgument arguments[] = {{false, a, {}}, {true, 0, s}};
    fire(event, arguments);
  }
  void fireEvent(Event event, std::string_view s, std::string_view t) {
    EventArgument arguments[] = {{true, 0, s}, {true, 0, t}};
    fire(event, arguments);
  }
};

}  // namespace gsadmin

#endif  // GSADMIN_EVENTS_EVENTS_H_
