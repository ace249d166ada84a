#include "support/console_lines.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

namespace gsadmin::testing {

uint16_t listeningPort(ClientProcess& simulator) {
  std::optional<std::string> line = simulator.waitForLine("listening on 127.0.0.1:");
  if (!line) return 0;
  return static_cast<uint16_t>(std::atoi(line->c_str() + line->find("127.0.0.1:") + 10));
}

std::string answer(ClientProcess& client, const std::string& command, const std::string& last) {
  client.writeInput(command + "\n");
  std::string lines;
  while (std::optional<std::string> line = client.nextLine()) {
    if (line->rfind("* ", 0) != 0) continue;
    lines += *line + "\n";
    if (line->find(last) != std::string::npos) break;
  }
  return lines;
}

std::string answerHolding(ClientProcess& client, const std::string& command,
                          const std::string& last, const std::string& needle, int timeoutMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string lines = answer(client, command, last);
  while (lines.find(needle) == std::string::npos && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    lines = answer(client, command, last);
  }
  return lines;
}

int occurrences(const std::string& text, const std::string& needle) {
  int found = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++found;
  }
  return found;
}

}  // namespace gsadmin::testing
