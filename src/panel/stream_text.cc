#include "panel/stream_text.h"

#include <cstdio>

#include "panel/web_json.h"

namespace gsadmin {

std::string consoleEventText(const ConsoleEntry& entry) {
  return "event: console\nid: " + std::to_string(entry.seq) +
         "\ndata: " + dump(consoleJson(entry)) + "\n\n";
}

std::string serverEventText(const Snapshot& snapshot) {
  return "event: server\ndata: " + dump(serverEventJson(snapshot)) + "\n\n";
}

std::string playersEventText(const Snapshot& snapshot) {
  return "event: players\ndata: " + dump(playersJson(snapshot)) + "\n\n";
}

std::string chunkOf(std::string_view text) {
  char size[20];
  int length = std::snprintf(size, sizeof size, "%zx\r\n", text.size());
  std::string chunk;
  chunk.reserve(static_cast<size_t>(length) + text.size() + 2);
  chunk.append(size, static_cast<size_t>(length)).append(text).append("\r\n");
  return chunk;
}

}  // namespace gsadmin
