// gsadmin-sim: a loopback game server that plays a scenario for gsadmin.

#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "demo_scenario.h"
#include "game_server.h"
#include "options.h"
#include "platform/clock.h"
#include "scenario.h"
#include "scenario_check.h"
#include "scenario_player.h"
#include "server_socket.h"
#include "sim_log.h"

namespace {

using namespace gsadmin::sim;

volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int) {
  g_stopRequested = 1;
}

// How long the simulator waits for a datagram between two ticks.
constexpr int kTickMs = 5;
// With --once, what the client still sends this long after the last line is
// answered before the simulator ends.
constexpr uint64_t kLingerMs = 500;
// Larger than anything the admin client sends.
constexpr size_t kReceiveBuffer = 65536;

void fail(const std::string& text) {
  std::fprintf(stderr, "gsadmin-sim: %s\n", text.c_str());
}

// The scenario of the command line, parsed and checked; nothing after
// printing why.
std::optional<Scenario> loadScenario(const SimOptions& options, uint8_t* game, uint8_t* mode) {
  std::string text;
  std::string source = "demo";
  if (options.scenarioPath) {
    std::ifstream file(*options.scenarioPath, std::ios::binary);
    if (!file) {
      fail("cannot read scenario " + *options.scenarioPath);
      return std::nullopt;
    }
    std::stringstream content;
    content << file.rdbuf();
    text = content.str();
    source = *options.scenarioPath;
  } else {
    text = std::string(demoScenarioText());
  }
  std::string error;
  std::optional<Scenario> scenario = parseScenario(text, source, &error);
  if (!scenario) {
    fail(error);
    return std::nullopt;
  }
  *game = options.game.value_or(scenario->settings.game.value_or(2));
  *mode = options.mode.value_or(scenario->settings.mode.value_or(1));
  if (!checkScenario(*scenario, *game, *mode, &error)) {
    fail(error);
    return std::nullopt;
  }
  return scenario;
}

// The server's settings: the scenario's, over the defaults.
ServerSetup serverSetup(const SimOptions& options, const Scenario& scenario, uint8_t game,
                        uint8_t mode) {
  ServerSetup setup;
  setup.game = game;
  setup.mode = mode;
  const ScenarioSettings& settings = scenario.settings;
  if (settings.serverName) setup.name = *settings.serverName;
  if (settings.motd) setup.motd = *settings.motd;
  if (settings.maxPlayers) setup.maxPlayers = *settings.maxPlayers;
  setup.password = options.password;
  setup.kickDelayMs = options.kickDelayMs;
  return setup;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  std::optional<SimOptions> options = parseOptions(argc, argv, &error);
  if (!options) {
    fail(error);
    return kExitUsage;
  }
  if (options->help || options->version) {
    std::printf("%s", options->help ? usageText() : (bannerLine() + "\n").c_str());
    return kExitOk;
  }

  uint8_t game = 2, mode = 1;
  std::optional<Scenario> scenario = loadScenario(*options, &game, &mode);
  if (!scenario) return kExitScenario;
  if (options->check) {
    std::printf("%s: ok, %zu timed lines, a round of %.1f s\n", scenario->source.c_str(),
                scenario->actions.size(), static_cast<double>(scenario->lengthMs()) / 1000.0);
    return kExitOk;
  }

  ServerSetup setup = serverSetup(*options, *scenario, game, mode);

  std::unique_ptr<ServerSocket> socket =
      ServerSocket::bind(options->bindAddress, options->port, &error);
  if (!socket) {
    fail(error);
    return kExitNetwork;
  }

  gsadmin::SystemClock clock;
  SimLog log(clock, stderr);
  if (options->epochStamps) log.stampWithEpoch();
  log.line("gsadmin-sim listening on " + options->bindAddress + ":" +
           std::to_string(socket->port()) + ", game " + std::to_string(game) + " mode " +
           std::to_string(mode) + ", scenario " + scenario->source +
           (options->once ? " (once)" : " (looping)"));
  GameServer server(setup, clock, *socket, log);
  ScenarioPlayer player(*scenario, server, log, options->speed, !options->once);

  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  std::vector<uint8_t> buffer(kReceiveBuffer);
  std::optional<uint64_t> endMs;
  while (!g_stopRequested) {
    socket->waitReadable(kTickMs);
    Endpoint from;
    while (std::optional<size_t> length = socket->receive(buffer.data(), buffer.size(), &from)) {
      server.handleDatagram(from, buffer.data(), *length);
    }
    uint64_t now = clock.nowMs();
    server.tick();
    if (!player.started() && server.acceptedLogins() > 0) player.start(now);
    player.tick(now);
    if (player.finished()) {
      if (!endMs) endMs = now + kLingerMs;
      if (now >= *endMs) break;
    }
  }
  log.line(g_stopRequested ? "stopped" : "scenario done");
  return kExitOk;
}
