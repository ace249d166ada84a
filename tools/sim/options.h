#ifndef GSADMIN_TOOLS_SIM_OPTIONS_H_
#define GSADMIN_TOOLS_SIM_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "base/defaults.h"

namespace gsadmin::sim {

// The simulator's command line.
struct SimOptions {
  std::string bindAddress = defaults::kServerAddress;
  uint16_t port = defaults::kAdminPort;  // 0: any free port, printed at start
  std::string password = defaults::kAdminPassword;
  std::optional<std::string> scenarioPath;  // none: the built-in demo
  std::optional<uint8_t> game;              // over the scenario's own
  std::optional<uint8_t> mode;
  double speed = 1.0;        // scenario seconds per real second
  uint64_t kickDelayMs = 0;  // see ServerSetup
  bool once = false;         // end after one round instead of looping
  bool check = false;        // only check the scenario, then exit
  bool epochStamps = false;  // log lines stamped with the wall clock (SimLog)
  bool help = false;
  bool version = false;
};

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNetwork = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitScenario = 3;

// Parses the flags ("--port 4003" or "--port=4003"). Nothing, with a
// one-line reason in *error, for an unknown flag or a bad value.
std::optional<SimOptions> parseOptions(int argc, const char* const* argv, std::string* error);

// The --help text.
const char* usageText();

// "gsadmin-sim <version> - loopback game server for gsadmin scripts", no
// line break: what --version prints.
std::string bannerLine();

}  // namespace gsadmin::sim

#endif  // GSADMIN_TOOLS_SIM_OPTIONS_H_
