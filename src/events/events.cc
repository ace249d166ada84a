#include "events/events.h"

namespace gsadmin {

bool matchesShape(Event event, std::span<const EventArgument> arguments) {
  std::string_view shape = eventInfo(event).shape;
  if (shape.size() != arguments.size()) return false;
  for (size_t i = 0; i < shape.size(); ++i) {
    if ((shape[i] == 's') != arguments[i].isText) return false;
  }
  return true;
}

std::optional<Event> eventNamed(std::string_view name) {
  for (const EventInfo& info : kEventTable) {
    if (info.name == name) return info.event;
  }
  return std::nullopt;
}

void EventSink::fireEvent(Event event, int32_t a) {
  EventArgument arguments[] = {{false, a, {}}};
  fire(event, arguments);
}

void EventSink::fireEvent(Event event, int32_t a, int32_t b) {
  EventArgument arguments[] = {{false, a, {}}, {false, b, {}}};
  fire(event, arguments);
}

void EventSink::fireEvent(Event event, int32_t a, int32_t b, int32_t c) {
  EventArgument arguments[] = {{false, a, {}}, {false, b, {}}, {false, c, {}}};
  fire(event, arguments);
}

void EventSink::fireEvent(Event event, std::string_view s) {
  EventArgument arguments[] = {{true, 0, s}};
  fire(event, arguments);
}

void EventSink::fireEvent(Event event, int32_t a, std::string_view s) {
  EventArgument arguments[] = {{false, a, {}}, {true, 0, s}};
  fire(event, arguments);
}

void EventSink::fireEvent(Event event, std::string_view s, std::string_view t) {
  EventArgument arguments[] = {{true, 0, s}, {true, 0, t}};
  fire(event, arguments);
}

}  // namespace gsadmin
