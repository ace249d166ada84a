#ifndef GSADMIN_APP_OPTIONS_H_
#define GSADMIN_APP_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "script/lua_limits.h"

namespace gsadmin {

// What the options on the command line asked for, and the arguments that
// are not options, in their order.
struct Options {
  bool help = false;
  bool version = false;
  // The script's default limits, in the options' units.
  uint64_t scriptBudgetMs = ScriptLimits{}.budgetMs;
  uint64_t scriptMemoryMiB = ScriptLimits{}.memoryBytes / (1024 * 1024);
  std::optional<std::string> scriptPath;    // --script
  std::optional<std::string> databasePath;  // --db
  std::optional<std::string> passwordFile;  // --password-file
  bool timestamps = false;
  bool noInput = false;
  bool exitOnEof = false;
  // With exitOnEof: seconds to wait for the server to accept the login.
  uint64_t connectTimeoutSeconds = 10;
  // Indexes into argv of the positional arguments (argv[0] excluded).
  std::vector<int> positional;
};

// Outcome of parseOptions: the options, or the one error line to print.
struct ParsedOptions {
  Options options;
  std::string error;  // empty on success; no line break
};

// Takes the options out of argv[1..argc-1]. An argument that begins with
// "--" is an option, wherever it stands; "--" alone ends the options, and
// everything after it is positional. An option's value follows '=' or is
// the next argument. Anything else (also "-1") is positional.
ParsedOptions parseOptions(int argc, char** argv);

// "gsadmin <version> - remote admin console for game servers", no line break.
std::string bannerLine();

// The usage text: the positional arguments and every option with its
// default, ending in a line break.
std::string usageText();

}  // namespace gsadmin

#endif  // GSADMIN_APP_OPTIONS_H_
