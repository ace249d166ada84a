// gsadmin: console remote administration for a game server.

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/command_line.h"
#include "app/options.h"
#include "app/password_file.h"
#include "console/history_file.h"
#include "console/line_reader.h"
#include "console/terminal_input.h"
#include "context/current_session.h"
#include "platform/clock.h"
#include "script/lua_limits.h"
#include "session/admin_session.h"
#include "storage/database_path.h"

namespace {

// Counts the requests, so that a second one stops the script's last handler.
volatile std::sig_atomic_t g_stopRequested = 0;
volatile std::sig_atomic_t g_reloadRequested = 0;
volatile std::sig_atomic_t g_terminalResized = 0;

void requestStop(int) {
  g_stopRequested = g_stopRequested + 1;
}

void requestReload(int) {
  g_reloadRequested = 1;
}

void noteResize(int) {
  g_terminalResized = 1;
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
  onSignal(SIGWINCH, noteResize);
}

// The operator's input: the line editor on a terminal, else a plain reader
// of the pipe or file on standard input; none with --no-input. Typed lines
// holding the password never reach the history.
std::unique_ptr<gsadmin::InputSource> openInput(const gsadmin::Options& options,
                                                const std::string& password) {
  if (options.noInput) return nullptr;
  gsadmin::TerminalInputOptions terminal;
  terminal.historyPath =
      gsadmin::defaultHistoryPath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
  terminal.mayRemember = [password](const std::string& line) {
    return password.empty() || line.find(password) == std::string::npos;
  };
  std::string refusal;
  if (std::unique_ptr<gsadmin::TerminalInput> input =
          gsadmin::TerminalInput::open(std::move(terminal), &refusal)) {
    return input;
  }
  return std::make_unique<gsadmin::LineReader>(STDIN_FILENO);
}

// Runs the session until it stops, with the operator's input and the
// console the options ask for. The process's exit status.
int runClient(const gsadmin::Options& options, gsadmin::SessionSettings settings) {
  // Declared before the session, so that it outlives the console that
  // prints above its prompt.
  std::unique_ptr<gsadmin::InputSource> input = openInput(options, settings.adminPassword);
  auto* terminal = dynamic_cast<gsadmin::TerminalInput*>(input.get());
  auto console = std::make_unique<gsadmin::StdioConsole>();
  console->setTimestamps(options.timestamps);
  console->setTerminal(terminal);
  gsadmin::SessionIo io;
  io.console = std::move(console);
  if (options.scriptPath) io.scriptPath = *options.scriptPath;

  gsadmin::SystemClock clock;
  auto session = std::make_unique<gsadmin::AdminSession>(std::move(settings), clock, std::move(io));
  gsadmin::setCurrentSession(session.get());
  gsadmin::ScriptLimits limits;
  limits.budgetMs = options.scriptBudgetMs;
  limits.memoryBytes = static_cast<size_t>(options.scriptMemoryMiB) * 1024 * 1024;
  limits.stopRequested = &g_stopRequested;
  session->scripts().setLimits(limits);
  installSignalHandlers();
  gsadmin::ConsoleInput consoleInput;
  consoleInput.source = input.get();
  consoleInput.waitForServer = terminal == nullptr;
  consoleInput.endWithInput = options.exitOnEof;
  consoleInput.resized = &g_terminalResized;
  bool started = session->run(&g_stopRequested, &g_reloadRequested, consoleInput);
  // The terminal is itself again (and the history saved) before the last
  // lines, which then print plainly.
  if (terminal) terminal->close();
  if (started) {
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

  if (options.passwordFile) {
    std::string error;
    std::optional<std::string> password = gsadmin::readPasswordFile(*options.passwordFile, &error);
    if (!password) {
      std::fprintf(stderr, "gsadmin: --password-file: %s\n", error.c_str());
      return 2;
    }
    settings->adminPassword = std::move(*password);
  }
  if (options.databasePath) {
    if (std::optional<std::string> refusal = gsadmin::checkDatabasePath(*options.databasePath)) {
      std::fprintf(stderr, "gsadmin: --db: %s\n", refusal->c_str());
      return 2;
    }
    settings->databasePath = options.databasePath;
  }
  return runClient(options, std::move(*settings));
}
