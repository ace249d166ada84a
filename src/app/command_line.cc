#include "app/command_line.h"

#include <cctype>
#include <cstring>

namespace gsadmin {

uint16_t parsePort(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Only the low 16 bits are kept, so accumulating modulo 2^16 is exact.
  uint32_t value = 0;
  while (std::isdigit(static_cast<unsigned char>(*p))) {
    value = (value * 10u + static_cast<uint32_t>(*p - '0')) & 0xFFFFu;
    ++p;
  }
  if (negative) value = (0x10000u - value) & 0xFFFFu;
  return static_cast<uint16_t>(value);
}

std::optional<uint16_t> parsePlainPort(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10u + static_cast<uint32_t>(c - '0');
    if (value > 65535u) return std::nullopt;
  }
  if (value == 0) return std::nullopt;
  return static_cast<uint16_t>(value);
}

std::optional<ServerAddress> parseServerAddress(std::string_view text) {
  size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  std::string_view host = text.substr(0, colon);
  if (host.find(':') != std::string_view::npos) return std::nullopt;
  std::optional<uint16_t> port = parsePlainPort(text.substr(colon + 1));
  if (!port) return std::nullopt;
  return ServerAddress{std::string(host), *port};
}

std::optional<SessionSettings> parseCommandLine(int argc, char** argv, PositionalForm form,
                                                std::string* warning) {
  SessionSettings settings;
  int needed = form == PositionalForm::kWithPassword ? 4 : 3;
  if (argc < needed + 1) return settings;
  settings.serverIP = std::string(argv[1]);
  settings.serverPort = parsePort(argv[2]);
  settings.adminName = std::string(argv[3]);
  if (form == PositionalForm::kWithPassword) settings.adminPassword = std::string(argv[4]);
  if (settings.serverPort == 0) return std::nullopt;
  if (warning != nullptr && !parsePlainPort(argv[2])) {
    *warning = "gsadmin: warning: port '" + std::string(argv[2]) +
               "' is not a number from 1 to 65535; using port " +
               std::to_string(settings.serverPort);
  }
  return settings;
}

void hidePasswordArgument(int argc, char** argv) {
  if (argc < 5) return;
  std::memset(argv[4], 0, std::strlen(argv[4]));
}

}  // namespace gsadmin
