// gsadmin: console remote administration for a game server.

#include <signal.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/command_line.h"
#include "app/options.h"
#include "context/current_session.h"
#include "platform/clock.h"
#include "script/lua_limits.h"
#include "session/admin_session.h"

namespace {

// Counts the requests, so that a second one stops the script's last handler.
volatile std::sig_atomic_t g_stopRequested = 0;
volatile std::sig_atomic_t g_reloadRequested = 0;

void requestStop(int) {
  g_stopRequested = g_stopRequested + 1;
}

void requestReload(int) {
  g_reloadRequested = 1;
}

// Without SA_RESTART, so that the loop's wait returns at once. The three
// signals block each other, so a handler is never interrupted.
void onSignal(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  sigaddset(&action.sa_mask, SIGHUP);
  sigaction(signal, &action, nullptr);
}

// An interrupt or a service manager's stop ends the loop cleanly, with
// status 0 and the script's state closed; it also stops a script handler or
// main chunk that is running. A hang-up reloads the script.
void installSignalHandlers() {
  onSignal(SIGINT, requestStop);
  onSignal(SIGTERM, requestStop);
  onSignal(SIGHUP, requestReload);
}

}  // namespace

int main(int argc, char** argv) {
  // Every line reaches a pipe or a log file at once.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  // A reader that closed standard output must not end the session: writes
  // then fail silently.
  std::signal(SIGPIPE, SIG_IGN);

  gsadmin::ParsedOptions parsed = gsadmin::parseOptions(argc, argv);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "%s\n%s", parsed.error.c_str(), gsadmin::usageText().c_str());
    return 2;
  }
  const gsadmin::Options& options = parsed.options;
  if (options.help) {
    std::printf("%s", gsadmin::usageText().c_str());
    return 0;
  }
  if (options.version) {
    std::printf("%s\n", gsadmin::bannerLine().c_str());
    return 0;
  }

  std::printf("%s\n\n", gsadmin::bannerLine().c_str());

  // The positional arguments as an argv of their own, pointing into the real
  // one, so that hiding the password still overwrites it.
  std::vector<char*> positional{argv[0]};
  for (int index : options.positional) positional.push_back(argv[index]);
  int positionalCount = static_cast<int>(positional.size());
  std::optional<gsadmin::SessionSettings> settings =
      gsadmin::parseCommandLine(positionalCount, positional.data());
  gsadmin::hidePasswordArgument(positionalCount, positional.data());
  if (!settings) {
    std::printf("ERROR: Insufficent arguements.\nSyntax: <IP> <port> <username> <password>.\n");
    return 0;
  }

  gsadmin::SystemClock clock;
  auto session = std::make_unique<gsadmin::AdminSession>(std::move(*settings), clock);
  gsadmin::setCurrentSession(session.get());
  gsadmin::ScriptLimits limits;
  limits.budgetMs = options.scriptBudgetMs;
  limits.memoryBytes = static_cast<size_t>(options.scriptMemoryMiB) * 1024 * 1024;
  limits.stopRequested = &g_stopRequested;
  session->scripts().setLimits(limits);
  installSignalHandlers();
  if (session->run(&g_stopRequested, &g_reloadRequested)) {
    gsadmin::setCurrentSession(nullptr);
    return 0;
  }

  std::printf("Exiting Admin");
  std::fflush(stdout);
  clock.sleepMs(2000);
  gsadmin::setCurrentSession(nullptr);
  session.reset();
  return 0;
}
