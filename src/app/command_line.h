#ifndef GSADMIN_APP_COMMAND_LINE_H_
#define GSADMIN_APP_COMMAND_LINE_H_

#include <cstdint>
#include <optional>

#include "context/session_settings.h"

namespace gsadmin {

// The port text converted as atoi does (leading blanks, an optional sign,
// digits up to the first non-digit; no number gives 0), cut to its low 16
// bits. Defined for any length of digits.
uint16_t parsePort(const char* text);

// The settings of `<IP> <port> <username> <password>`: with fewer than four
// arguments the four defaults, whatever was given; otherwise the first four,
// or nothing when the port converts to 0 (the caller prints the usage).
std::optional<SessionSettings> parseCommandLine(int argc, char** argv);

// Overwrites the password argument in place, so it no longer shows in the
// process's command line once it has been copied.
void hidePasswordArgument(int argc, char** argv);

}  // namespace gsadmin

#endif  // GSADMIN_APP_COMMAND_LINE_H_
