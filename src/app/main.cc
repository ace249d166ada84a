// gsadmin: console remote administration for a game server.

#include <csignal>
#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "context/current_session.h"
#include "platform/clock.h"
#include "session/admin_session.h"

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int) {
  g_stopRequested = 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Every line reaches a pipe or a log file at once.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  std::printf("gsadmin %s - remote admin console for game servers\n\n", GSADMIN_VERSION);

  std::optional<gsadmin::SessionSettings> settings = gsadmin::parseCommandLine(argc, argv);
  gsadmin::hidePasswordArgument(argc, argv);
  if (!settings) {
    std::printf("ERROR: Insufficent arguements.\nSyntax: <IP> <port> <username> <password>.\n");
    return 0;
  }

  gsadmin::SystemClock clock;
  auto session = std::make_unique<gsadmin::AdminSession>(std::move(*settings), clock);
  gsadmin::setCurrentSession(session.get());
  // An interrupt or a service manager's stop ends the loop cleanly, with
  // status 0 and the script's state closed.
  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  if (session->run(&g_stopRequested)) {
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
