// gsadmin: console remote administration for a game server.

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/audit_command.h"
#include "app/backup_command.h"
#include "app/command_line.h"
#include "app/config_file.h"
#include "app/enroll_totp_command.h"
#include "app/hash_password_command.h"
#include "app/moderation_options.h"
#include "app/options.h"
#include "app/panel_options.h"
#include "app/password_file.h"
#include "app/rules_commands.h"
#include "app/standard_streams.h"
#include "app/token_commands.h"
#include "console/console.h"
#include "console/history_file.h"
#include "console/line_reader.h"
#include "console/log_file.h"
#include "console/terminal_input.h"
#include "panel/panel.h"
#include "platform/clock.h"
#include "script/lua_limits.h"
#include "session/admin_session.h"
#include "storage/database.h"
#include "storage/database_path.h"
#include "storage/database_uri.h"

namespace {

// Counts the requests, so that a second one stops the script's last handler.
volatile std::sig_atomic_t g_stopRequested = 0;
volatile std::sig_atomic_t g_reloadRequested = 0;
volatile std::sig_atomic_t g_terminalResized = 0;
// Counts the hang-ups, so that the --log-file is opened again after each.
volatile std::sig_atomic_t g_logReopens = 0;

void requestStop(int) {
  g_stopRequested = g_stopRequested + 1;
}

void requestReload(int) {
  g_reloadRequested = 1;
  g_logReopens = g_logReopens + 1;
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

// One-shot use that gave up logging in ends with a status of its own, so
// that a calling script can tell a dead server from a wrong password.
int exitStatusOf(gsadmin::SessionEnd end) {
  switch (end) {
    case gsadmin::SessionEnd::kNotConnectedInTime:
      return 3;
    case gsadmin::SessionEnd::kLoginRefused:
      return 4;
    case gsadmin::SessionEnd::kStopped:
      break;
  }
  return 0;
}

// Runs the session until it stops, with the operator's input and the
// console the options ask for. The process's exit status.
int runClient(const gsadmin::Options& options, gsadmin::SessionSettings settings,
              std::unique_ptr<gsadmin::Panel> panel, std::unique_ptr<gsadmin::StdioConsole> console,
              gsadmin::SessionIo io) {
  // Declared before the session, so that it outlives the console that
  // prints above its prompt.
  std::unique_ptr<gsadmin::InputSource> input = openInput(options, settings.adminPassword);
  auto* terminal = dynamic_cast<gsadmin::TerminalInput*>(input.get());
  console->setTimestamps(options.timestamps);
  console->setTerminal(terminal);
  io.console = panel ? panel->wrapConsole(std::move(console)) : std::move(console);
  io.panel = std::move(panel);
  if (!options.scriptPaths.empty()) {
    io.scriptPaths = options.scriptPaths;
    io.scriptDirectories = true;  // a directory's scripts only when named
  }

  gsadmin::SystemClock clock;
  auto session = std::make_unique<gsadmin::AdminSession>(std::move(settings), clock, std::move(io));
  gsadmin::ScriptLimits limits;
  limits.budgetMs = options.scriptBudgetMs;
  limits.memoryBytes = static_cast<size_t>(options.scriptMemoryMiB) * 1024 * 1024;
  limits.stopRequested = &g_stopRequested;
  session->scripts().setLimits(limits);
  // A script's slow statement is then cancelled by its budget, not taken
  // for a lost connection.
  session->database().setStatementBudgetMs(limits.budgetMs);
  installSignalHandlers();
  gsadmin::ConsoleInput consoleInput;
  consoleInput.source = input.get();
  consoleInput.waitForServer = terminal == nullptr;
  consoleInput.endWithInput = options.exitOnEof;
  if (options.exitOnEof) consoleInput.connectTimeoutMs = options.connectTimeoutSeconds * 1000;
  consoleInput.resized = &g_terminalResized;
  bool started = session->run(&g_stopRequested, &g_reloadRequested, consoleInput);
  // The terminal is itself again (and the history saved) before the last
  // lines, which then print plainly.
  if (terminal) terminal->close();
  if (started) return exitStatusOf(session->endReason());

  // Standard output is as it always was, pause included; the status and
  // standard error tell a service manager or a script that the start failed.
  gsadmin::StdioConsole last;
  last.setFormat(gsadmin::LogFormat::kJson);
  if (options.logFormat == "json") last.line("Exiting Admin");
  if (options.logFormat != "json") std::printf("Exiting Admin");
  std::fflush(stdout);
  clock.sleepMs(2000);
  session.reset();
  return 1;
}

// The options of the command line over those of the --config file, if one
// is given; the exit status when the start ends here.
std::optional<int> takeOptions(int argc, char** argv, gsadmin::ParsedOptions& parsed) {
  parsed = gsadmin::parseOptions(argc, argv);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "%s\n%s", parsed.error.c_str(), gsadmin::usageText().c_str());
    return 2;
  }
  if (parsed.options.help) {
    std::printf("%s", gsadmin::usageText().c_str());
    return 0;
  }
  if (parsed.options.version) {
    std::printf("%s\n", gsadmin::bannerLine().c_str());
    return 0;
  }
  if (parsed.options.hashPassword) return gsadmin::runHashPassword(STDIN_FILENO, stdout, stderr);
  if (!parsed.options.configPath) return std::nullopt;
  gsadmin::Options fromFile;
  std::string error = gsadmin::readConfigFile(*parsed.options.configPath, fromFile);
  if (!error.empty()) {
    std::fprintf(stderr, "gsadmin: --config: %s\n", error.c_str());
    return 2;
  }
  // The same arguments again, now over the file's settings: they parsed once.
  parsed = gsadmin::parseOptions(argc, argv, std::move(fromFile));
  return std::nullopt;
}

// The settings of the positional arguments, --server and --name over them,
// and the password from --password-file. Nothing, with *status set, when
// the start ends here.
std::optional<gsadmin::SessionSettings> takeSettings(const gsadmin::Options& options, char** argv,
                                                     gsadmin::Console& console, int* status) {
  // The positional arguments as an argv of their own, pointing into the real
  // one, so that hiding the password still overwrites it.
  std::vector<char*> positional{argv[0]};
  for (int index : options.positional) positional.push_back(argv[index]);
  int positionalCount = static_cast<int>(positional.size());
  std::string warning;
  std::optional<gsadmin::SessionSettings> settings =
      gsadmin::parseCommandLine(positionalCount, positional.data(),
                                options.passwordFile ? gsadmin::PositionalForm::kWithoutPassword
                                                     : gsadmin::PositionalForm::kWithPassword,
                                &warning);
  gsadmin::hidePasswordArgument(positionalCount, positional.data());
  if (!settings) {
    console.line("ERROR: Insufficent arguements.");
    console.line("Syntax: <IP> <port> <username> <password>.");
    *status = 0;
    return std::nullopt;
  }
  // With --server the positional port is not used, so it earns no warning.
  if (!warning.empty() && !options.server) console.errorLine(warning);
  if (options.server) {
    std::optional<gsadmin::ServerAddress> server = gsadmin::parseServerAddress(*options.server);
    settings->serverIP = server->host;  // checked when the option was taken
    settings->serverPort = server->port;
  }
  if (options.adminName) settings->adminName = *options.adminName;
  settings->operatorName = options.operatorName;
  settings->moderation = moderationSettings(options);
  settings->version = GSADMIN_VERSION;
  settings->http.allowedPrefixes = options.allowUrls;
  settings->http.timeoutMs = options.httpTimeoutSeconds * 1000;
  settings->http.caFile = options.caFile;
  if (options.passwordFile) {
    std::string error;
    std::optional<std::string> password = gsadmin::readPasswordFile(*options.passwordFile, &error);
    if (!password) {
      console.errorLine("gsadmin: --password-file: " + error);
      *status = 2;
      return std::nullopt;
    }
    settings->adminPassword = std::move(*password);
  }
  return settings;
}

// The database of --db and --db-password-file into `settings`; false after
// the one line that refuses them.
bool takeDatabase(const gsadmin::Options& options, gsadmin::SessionSettings& settings,
                  gsadmin::Console& console) {
  if (!options.databasePath) {
    if (options.databasePasswordFile) {
      console.errorLine("gsadmin: --db-password-file: needs --db with a postgresql:// URI");
      return false;
    }
    return true;
  }
  const std::string& database = *options.databasePath;
  bool uri = gsadmin::isDatabaseUri(database);
  std::optional<std::string> refusal =
      uri ? gsadmin::checkDatabaseUri(database) : gsadmin::checkDatabasePath(database);
  if (refusal) {
    console.errorLine("gsadmin: --db: " + *refusal);
    return false;
  }
  if (options.databasePasswordFile) {
    if (!uri) {
      console.errorLine("gsadmin: --db-password-file: needs --db with a postgresql:// URI");
      return false;
    }
    std::string error;
    settings.databasePassword = gsadmin::readPasswordFile(*options.databasePasswordFile, &error);
    if (!settings.databasePassword) {
      console.errorLine("gsadmin: --db-password-file: " + error);
      return false;
    }
  }
  settings.databasePath = database;
  return true;
}

// The console of the process, with the format and the log file the options
// ask for; nothing after the line that refuses the file.
std::unique_ptr<gsadmin::StdioConsole> openConsole(const gsadmin::Options& options) {
  // Timestamps start with the session, as they always did.
  auto console = std::make_unique<gsadmin::StdioConsole>();
  if (options.logFormat == "json") console->setFormat(gsadmin::LogFormat::kJson);
  if (options.logFile) {
    std::string error;
    std::unique_ptr<gsadmin::LogFile> file =
        gsadmin::LogFile::open(*options.logFile, &error, &g_logReopens);
    if (!file) {
      console->errorLine("gsadmin: --log-file: " + error);
      return nullptr;
    }
    console->setLogFile(std::move(file));
  }
  return console;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything opens a descriptor that could take 0, 1 or 2.
  gsadmin::openClosedStandardStreams();
  // Every line reaches a pipe or a log file at once.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  // A reader that closed standard output must not end the session: writes
  // then fail silently.
  std::signal(SIGPIPE, SIG_IGN);

  gsadmin::ParsedOptions parsed;
  if (std::optional<int> status = takeOptions(argc, argv, parsed)) return *status;
  const gsadmin::Options& options = parsed.options;
  if (std::optional<int> status = gsadmin::runBackupCommand(options, stdout, stderr))
    return *status;
  if (std::optional<int> status = gsadmin::runRulesCommands(options, stdout, stderr))
    return *status;
  if (std::optional<int> status = gsadmin::runAuditCommand(options, stdout, stderr)) return *status;
  if (std::optional<int> status = gsadmin::runEnrollTotp(options, stdout, stderr)) return *status;
  if (std::optional<int> status =
          gsadmin::runTokenCommands(options, std::time(nullptr), stdout, stderr)) {
    return *status;
  }
  std::optional<gsadmin::RuleSet> rules;
  std::optional<gsadmin::ScheduleSet> schedule;
  if (!gsadmin::takeRuleFiles(options, &rules, &schedule, stderr)) return 2;

  std::unique_ptr<gsadmin::StdioConsole> console = openConsole(options);
  if (!console) return 2;
  console->line(gsadmin::bannerLine());
  if (!options.logFormat || *options.logFormat == "text") console->line("");

  int status = 0;
  std::optional<gsadmin::SessionSettings> settings = takeSettings(options, argv, *console, &status);
  if (!settings) return status;
  if (!takeDatabase(options, *settings, *console)) return 2;
  std::optional<gsadmin::PanelSettings> panel =
      gsadmin::panelSettingsOf(options, *console, &status);
  if (!panel) return status;
  std::unique_ptr<gsadmin::Panel> web;
  if (panel->http || panel->metrics || panel->publicAddress)
    web = std::make_unique<gsadmin::Panel>(std::move(*panel));
  gsadmin::SessionIo io;
  io.rules = std::move(rules);
  io.schedule = std::move(schedule);
  return runClient(options, std::move(*settings), std::move(web), std::move(console),
                   std::move(io));
}
