#include "options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "scenario_words.h"

namespace gsadmin::sim {
namespace {

constexpr double kMinSpeed = 0.01;
constexpr double kMaxSpeed = 1000.0;

// Sets the option `flag` (one that takes a value) from `value`; false, with
// the reason in *error, when the value is not acceptable.
bool applyValue(const std::string& flag, const std::string& value, SimOptions& options,
                std::string* error) {
  if (flag == "--port") {
    std::optional<int> port = parseInt(value, 0, 65535);
    if (!port) {
      *error = "--port needs a number from 0 to 65535, not '" + value + "'";
      return false;
    }
    options.port = static_cast<uint16_t>(*port);
  } else if (flag == "--password") {
    options.password = value;
  } else if (flag == "--scenario") {
    options.scenarioPath = value;
  } else if (flag == "--bind") {
    options.bindAddress = value;
  } else if (flag == "--game" || flag == "--mode") {
    std::optional<int> number = parseInt(value, 0, 255);
    if (!number) {
      *error = flag + " needs a number from 0 to 255, not '" + value + "'";
      return false;
    }
    (flag == "--game" ? options.game : options.mode) = static_cast<uint8_t>(*number);
  } else if (flag == "--kick-delay") {
    std::optional<int> ms = parseInt(value, 0, 60000);
    if (!ms) {
      *error = "--kick-delay needs a number of milliseconds from 0 to 60000, not '" + value + "'";
      return false;
    }
    options.kickDelayMs = static_cast<uint64_t>(*ms);
  } else {  // --speed
    char* end = nullptr;
    double speed = std::strtod(value.c_str(), &end);
    if (value.empty() || end != value.c_str() + value.size() || !std::isfinite(speed) ||
        speed < kMinSpeed || speed > kMaxSpeed) {
      *error = "--speed needs a factor from 0.01 to 1000, not '" + value + "'";
      return false;
    }
    options.speed = speed;
  }
  return true;
}

// The switch a flag without a value sets; null for any other flag.
bool* flagNamed(const std::string& flag, SimOptions& options) {
  if (flag == "--once") return &options.once;
  if (flag == "--check") return &options.check;
  if (flag == "--epoch-stamps") return &options.epochStamps;
  if (flag == "--help" || flag == "-h") return &options.help;
  if (flag == "--version") return &options.version;
  return nullptr;
}

}  // namespace

std::string bannerLine() {
  return std::string("gsadmin-sim ") + GSADMIN_VERSION +
         " - loopback game server for gsadmin scripts";
}

const char* usageText() {
  return "usage: gsadmin-sim [--port N] [--password TEXT] [--scenario FILE] [--game N]\n"
         "                   [--mode N] [--speed FACTOR] [--once] [--bind ADDRESS] [--check]\n"
         "                   [--kick-delay MS] [--epoch-stamps]\n"
         "       gsadmin-sim --help | --version\n"
         "\n"
         "A loopback game server for testing gsadmin scripts. It plays the built-in\n"
         "demo match, or the scenario FILE, from the moment the client's login is\n"
         "accepted, and logs one line per action to standard error.\n"
         "\n"
         "  --port N         admin port to listen on (default 4003; 0: any free port)\n"
         "  --password TEXT  admin password (default 73519)\n"
         "  --scenario FILE  scenario to play instead of the demo (docs/simulator.md)\n"
         "  --game N         game code, over the scenario's (default 2)\n"
         "  --mode N         game mode, over the scenario's (default 1)\n"
         "  --speed FACTOR   scenario seconds per real second (default 1)\n"
         "  --once           end after one round instead of looping\n"
         "  --bind ADDRESS   IPv4 address to listen on (default 127.0.0.1)\n"
         "  --kick-delay MS  a kicked player leaves MS milliseconds later (default 0)\n"
         "  --check          check the scenario and exit\n"
         "  --epoch-stamps   stamp log lines with seconds since the epoch, to the\n"
         "                   microsecond, instead of the scenario time\n"
         "  --version        print the version and exit\n"
         "\n"
         "Exit status: 0 done, 1 network failure, 2 bad command line, 3 bad scenario.\n";
}

std::optional<SimOptions> parseOptions(int argc, const char* const* argv, std::string* error) {
  SimOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    std::optional<std::string> inlineValue;
    if (size_t equals = flag.find('='); flag.rfind("--", 0) == 0 && equals != std::string::npos) {
      inlineValue = flag.substr(equals + 1);
      flag.resize(equals);
    }
    bool takesValue = flag == "--port" || flag == "--password" || flag == "--scenario" ||
                      flag == "--game" || flag == "--mode" || flag == "--speed" ||
                      flag == "--bind" || flag == "--kick-delay";
    if (bool* on = flagNamed(flag, options)) {
      if (inlineValue) {
        *error = flag + " takes no value";
        return std::nullopt;
      }
      *on = true;
      continue;
    }
    if (!takesValue) {
      *error = "unknown option '" + flag + "' (see --help)";
      return std::nullopt;
    }
    std::string value;
    if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      *error = flag + " needs a value";
      return std::nullopt;
    }

    if (!applyValue(flag, value, options, error)) return std::nullopt;
  }
  return options;
}

}  // namespace gsadmin::sim
