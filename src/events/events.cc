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

}  // namespace gsadmin
