#ifndef GSADMIN_APP_COMMAND_LINE_H_
#define GSADMIN_APP_COMMAND_LINE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "context/session_settings.h"

namespace gsadmin {

// The port text converted as atoi does (leading blanks, an optional sign,
// digits up to the first non-digit; no number gives 0), cut to its low 16
// bits. Defined for any length of digits.
uint16_t parsePort(const char* text);

// A port written plainly: decimal digits only, 1 to 65535. Nothing otherwise.
std::optional<uint16_t> parsePlainPort(std::string_view text);

// A server given as HOST:PORT: a non-empty host without ':' and a plain port.
struct ServerAddress {
  std::string host;
  uint16_t port = 0;
};
std::optional<ServerAddress> parseServerAddress(std::string_view text);

// Which positional arguments the command line takes: all four, or
// `<IP> <port> <username>` when the password comes from a file.
enum class PositionalForm { kWithPassword, kWithoutPassword };

// The settings of the positional arguments: with fewer than the form takes,
// the four defaults, whatever was given; otherwise the first ones, or
// nothing when the port converts to 0 (the caller prints the usage). A port
// that is used but not written plainly sets *warning (when given) to one line
// naming the port actually used.
std::optional<SessionSettings> parseCommandLine(int argc, char** argv,
                                                PositionalForm form = PositionalForm::kWithPassword,
                                                std::string* warning = nullptr);

// Overwrites the password argument in place, so it no longer shows in the
// process's command line once it has been copied.
void hidePasswordArgument(int argc, char** argv);

}  // namespace gsadmin

#endif  // GSADMIN_APP_COMMAND_LINE_H_
