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

std::optional<SessionSettings> parseCommandLine(int argc, char** argv) {
  SessionSettings settings;
  if (argc < 5) return settings;
  settings.serverIP = std::string(argv[1]);
  settings.serverPort = parsePort(argv[2]);
  settings.adminName = std::string(argv[3]);
  settings.adminPassword = std::string(argv[4]);
  if (settings.serverPort == 0) return std::nullopt;
  return settings;
}

void hidePasswordArgument(int argc, char** argv) {
  if (argc < 5) return;
  std::memset(argv[4], 0, std::strlen(argv[4]));
}

}  // namespace gsadmin
