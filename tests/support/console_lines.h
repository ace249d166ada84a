#ifndef GSADMIN_TESTS_SUPPORT_CONSOLE_LINES_H_
#define GSADMIN_TESTS_SUPPORT_CONSOLE_LINES_H_

#include <cstdint>
#include <string>

#include "support/client_process.h"

namespace gsadmin::testing {

// The port of a simulator's "... listening on 127.0.0.1:PORT, ..." line,
// waited for; 0 when it never came.
uint16_t listeningPort(ClientProcess& simulator);

// Types `command` into a client whose input is a pipe and returns the
// "* " lines it printed, up to the first holding `last` (or the end of its
// output), each ended by '\n'.
std::string answer(ClientProcess& client, const std::string& command, const std::string& last);

// answer(), asked again every 100 ms for up to `timeoutMs` until it holds
// `needle`: for a read of records a client writes a pass or two later, or
// later still when its database was slow to take them. The last answer.
std::string answerHolding(ClientProcess& client, const std::string& command,
                          const std::string& last, const std::string& needle,
                          int timeoutMs = 10000);

// How many times `needle` occurs in `text`.
int occurrences(const std::string& text, const std::string& needle);

}  // namespace gsadmin::testing

#endif  // GSADMIN_TESTS_SUPPORT_CONSOLE_LINES_H_
