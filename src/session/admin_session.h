#ifndef GSADMIN_SESSION_ADMIN_SESSION_H_
#define GSADMIN_SESSION_ADMIN_SESSION_H_

#include <netinet/in.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "commands/game_words.h"
#include "console/console.h"
#include "console/input_source.h"
#include "context/session_context.h"
#include "context/session_settings.h"
#include "model/world.h"
#include "moderation/moderation.h"
#include "panel/fleet_desk.h"
#include "panel/panel.h"
#include "panel/snapshot.h"
#include "platform/clock.h"
#include "platform/datagram_sink.h"
#include "platform/udp_socket.h"
#include "requests/http_client.h"
#include "rules/rule_runner.h"
#include "rules/schedule_runner.h"
#include "script/event_manager.h"
#include "script/script_manager.h"
#include "session/one_shot_watch.h"
#include "storage/database.h"

namespace gsadmin {

// What a session talks through; each default is the real thing.
struct SessionIo {
  // Where every line goes; null: standard output and standard error.
  std::unique_ptr<Console> console;
  // Where datagrams go. Null: the UDP socket start() opens, whose datagrams
  // poll() receives. Otherwise start() opens no socket, the sink must outlive
  // the session, and datagrams arrive only through receiveDatagram().
  DatagramSink* sink = nullptr;
  // The scripts start() loads, in order: files, or, with scriptDirectories,
  // directories whose "*.lua" files are loaded (see ScriptManager::expand);
  // relative paths from the working directory. The first names the
  // database's directory.
  std::vector<std::string> scriptPaths = {ScriptManager::kScriptFileName};
  // Whether a directory among scriptPaths stands for its scripts: only for
  // paths the operator named. Otherwise each path is one script file, and
  // a directory there (say, the default "script.lua") fails to load.
  bool scriptDirectories = false;
  // The web panel and metrics, not yet started; null: none. start()
  // starts it and the loop drives it; its console wrapper should already
  // wrap `console`.
  std::unique_ptr<Panel> panel;
  // The moderation rules of --rules and the schedule of --schedule, read
  // and checked; none: none.
  std::optional<RuleSet> rules;
  std::optional<ScheduleSet> schedule;
};

class ConsoleCommands;

// The operator's typed lines, read in the session's loop.
struct ConsoleInput {
  InputSource* source = nullptr;  // none: nothing is read; must outlive run()
  // Piped commands name players, so they wait until a server has accepted
  // the login once and the players are known.
  bool waitForServer = false;
  // run() ends (as stopped) once the input has ended, its lines are handled
  // and the server has answered the datagrams they sent, or
  // OneShotWatch::kAnswerWaitMs after the last of them.
  bool endWithInput = false;
  // run() gives up when no server has accepted the login this many
  // milliseconds after start-up, or when the server refuses it first
  // (endReason() says which); 0: it keeps trying.
  uint64_t connectTimeoutMs = 0;
  // Set by a SIGWINCH handler; the loop tells the source and clears it.
  volatile std::sig_atomic_t* resized = nullptr;
};

// The client's one session with one game server. Owns the server record, the
// registries, the scripts, the event handlers and the socket for its whole
// life. Not connected at first; it logs in when the silence deadline has
// passed, and falls back to not connected on a refusal or 10 s of silence.
class AdminSession : public SessionContext {
 public:
  static constexpr uint64_t kSilenceMs = 10000;
  static constexpr size_t kMaxDatagram = 4096;

  // `clock` must outlive the session.
  AdminSession(SessionSettings settings, Clock& clock, SessionIo io = {});
  ~AdminSession() override;
  AdminSession(const AdminSession&) = delete;
  AdminSession& operator=(const AdminSession&) = delete;

  // Start-up: loads the script (normally "script.lua" in the working
  // directory), fires "onStart", checks the settings, then resolves the
  // address and connects the socket unless a sink was given. Returns false
  // after printing its one "ERROR: " line; a failed resolution or socket
  // also gets a line on standard error naming the address and the reason.
  bool start();

  // start(), then polls until *stop becomes non-zero (never, when stop is
  // null), the operator types ".quit" or the input asks to end
  // (InputSource::endRequested()). Between polls it sleeps until a
  // datagram or a line of `input` arrives, the deadline passes or a timer is
  // due, whichever comes first. When *reload is non-zero it clears it and
  // calls reloadScript(). The lines of `input` are handled as
  // handleTypedLine() does; a line it refused gets one "* " line. When stopped, fires
  // "onScriptStop" (the script may finish it despite the stop request; a further request stops it).
  // Either way ends with rollBackDatabaseTransaction(). Returns false when
  // start() failed, true when stopped or given up (see endReason()). A stop
  // request also ends a round of due timers between two calls. The flags
  // must remain live while run() runs; signal handlers may set them.
  bool run(const volatile std::sig_atomic_t* stop = nullptr,
           volatile std::sig_atomic_t* reload = nullptr, ConsoleInput input = {});

  // One line the operator typed: chat for the server or a local command
  // (see ConsoleCommands).
  void handleTypedLine(std::string_view line);
  // One line typed by `actor`, a panel account: its moderation commands are
  // carried out and recorded as that account.
  // `mark`: the players' mark when the line was begun (PlayerManager::mark).
  void handleTypedLine(std::string_view line, const Actor& actor,
                       std::optional<uint64_t> mark = std::nullopt);
  // What Tab at the console may complete `word` to after `lineBeforeWord`
  // (see ConsoleCommands::completions); run() gives it to the input.
  std::vector<std::string> consoleCompletions(std::string_view lineBeforeWord,
                                              std::string_view word);
  // True once the operator typed ".quit".
  bool quitRequested() const;
  // Why run() ended; kStopped before it has.
  SessionEnd endReason() const { return endReason_; }

  // One step of the loop: receives and dispatches every waiting datagram in
  // arrival order, sends the player-details requests that are due, checks
  // the deadline (timeout while connected, login while not), calls the
  // timers that are due, then moves the scripts' HTTP requests on and calls
  // the handlers of those that ended.
  void poll();

  // Milliseconds from now until poll() has work other than datagrams: the
  // deadline passing, a timer or a details request due, or a request to
  // move on (beside what its sockets bring). 0 when it has already.
  uint64_t msUntilWork();

  // Replaces every script that is not stopped with a fresh load of its
  // file: fires "onScriptStop", closes the states, drops every event
  // handler, timer and script console command, rolls back an open database
  // transaction, then loads each file as start() does, prints "LUA: Script
  // '<name>' reloaded." for each that loaded, and fires "onStart". The
  // world model and the connection are untouched. Returns the number of
  // scripts that loaded. Called from the loop, never from a handler.
  size_t reloadScript();
  // The same for `script` alone (a stopped one too); the others are
  // untouched. Returns whether it loaded.
  bool reloadScript(Script& script);
  // Stops `script`: fires its "onScriptStop", closes its state and drops
  // its handlers, timers and console commands, and rolls back an open
  // database transaction.
  void unloadScript(Script& script);
  // Loads the scripts `path` names (see ScriptManager::expand) beside
  // those loaded, firing "onStart" in each that loaded. Returns how many
  // loaded.
  size_t loadScript(const std::string& path);

  // Handles one datagram as it arrives: renews the deadline and dispatches
  // it; an empty one is ignored, an oversize one only counted. poll() does
  // the same for the datagrams the socket holds, with one clock reading for
  // the pass.
  void receiveDatagram(const uint8_t* data, size_t length);

  // Sends the login, prints the connecting line, marks the session connected
  // and renews the deadline.
  void sendLogin();

  // SessionContext. send() does nothing before start() made a sink.
  ServerInfo& serverInfo() override { return world_.serverInfo(); }
  PlayerManager& players() override { return world_.players(); }
  VehicleManager& vehicles() override { return world_.vehicles(); }
  WeaponManager& weapons() override { return world_.weapons(); }
  EventManager& events() override { return *events_; }
  bool addEventHandler(uint64_t owner, std::string_view eventName,
                       std::string_view functionName) override;
  void removeEventHandler(uint64_t owner, std::string_view eventName,
                          std::string_view functionName) override;
  std::string addConsoleCommand(uint64_t owner, std::string_view word,
                                std::string_view functionName, std::string_view help) override;
  std::string addChatCommand(uint64_t owner, std::string_view word, std::string_view functionName,
                             std::string_view help, int level) override;
  GameWords& gameWords() override { return *gameWords_; }
  Console& console() override { return *console_; }
  Clock& clock() override { return clock_; }
  uint64_t uptimeMs() override { return clock_.nowMs() - startMs_; }
  TimerQueue& timers() override { return timers_; }
  DetailsRequestQueue& detailsRequests() override { return detailsRequests_; }
  void send(const std::vector<uint8_t>& datagram) override;
  void sendChatFrame(std::string_view text) override;
  void sendKickRequest(uint8_t playerId) override;
  void sendBanRequest(uint8_t playerId) override;
  const SessionSettings& settings() const override { return settings_; }
  bool connected() const override { return connected_; }
  void setConnected(bool connected) override { connected_ = connected; }

  ScriptManager& scripts() { return *scripts_; }
  // A file is opened by its first statement; a server is connected to by
  // start() and again whenever the connection is lost. Kept for the
  // session's whole life.
  Database& database() override { return *database_; }
  // Made with the session unless the settings turn it off; opened by
  // start(), and dropped when it cannot open.
  Moderation* moderation() override { return moderation_.get(); }
  Commands& commands() override { return *acts_; }
  HttpClient& http() override { return *http_; }

  // Rolls back a database transaction a script left open, printing
  // "LUA: Open database transaction rolled back." when there was one. For
  // the end of the session and for a script reload.
  void rollBackDatabaseTransaction();

  // One pass of the database's work (the loop's, each poll; tests may call
  // it too): connects, reads notices, prints
  // "gsadmin: database connection lost: REASON" once per loss and
  // "gsadmin: database connection is back", and hands what it found to the
  // moderation (admin_session_database.cc).
  void serviceDatabase();

  uint64_t deadline() const { return deadline_; }
  // When the last datagram arrived; none before the first.
  std::optional<uint64_t> lastDatagramMs() const { return lastDatagramMs_; }
  // Null until start() has connected.
  UdpSocket* socket() { return socket_.get(); }

  // Number of datagrams that were longer than kMaxDatagram and not handled.
  uint64_t oversizeDatagrams() const { return oversizeDatagrams_; }

  // The snapshot of the model and the counters now, as the panel publishes it.
  // The handlers' times are only taken with a panel.
  Snapshot snapshot();
  // Null without one.
  Panel* panel() { return panel_.get(); }
  RuleControl* ruleControl() override { return rules_.get(); }
  // Reads the rules file again after a SIGHUP, with one line either way.
  void reloadRules();
  // One pass of the panel's work: what the HTTP threads handed over, then
  // the snapshot, at most one every kSnapshotIntervalMs (a pass that skips
  // it makes the loop wake for it later). The loop calls it after each
  // poll; tests may too.
  void servePanel();
  // The rules and the schedule of `io`, when given (admin_session_rules.cc).
  void startRules(SessionIo& io);
  // A scheduled call: the global `function` of the script `script`.
  bool callScheduled(std::string_view script, std::string_view function);
  // A snapshot copies the whole model: under a flood of datagrams the loop
  // passes far more often than any stream could show.
  static constexpr uint64_t kSnapshotIntervalMs = 10;

 private:
  // Datagrams taken off the socket by one system call: under a flood each
  // call costs as much as several datagrams, so it takes many. Only the
  // first page of a slot is touched by a small datagram.
  static constexpr size_t kReceiveSlots = 64;

  bool connectSocket();
  // Waits a few seconds for a database server, once at start, so that the
  // moderation opens on it; says so when it cannot.
  void connectDatabase();
  // Prints the lines of a lost or returned connection.
  void reportDatabaseEvents(const DatabaseEvents& events);
  // Opens the moderation; when it cannot, says why and goes on without.
  void openModeration();
  // session_game_words.cc: the registry with the moderation's words, when
  // it is on, carried out by the moderation.
  std::unique_ptr<GameWords> makeGameWords();
  // After a poll: whether a run with `input` is over, printing the "ERROR: "
  // line of a login given up.
  bool oneShotOver(const ConsoleInput& input);
  void checkDeadline();
  // Takes the waiting datagrams off the socket, a batch a system call, up to
  // the pass's bound, and handles them in arrival order.
  void receiveWaiting();
  // The deadline renewed from one clock reading, and the last datagram's
  // time with it when `datagram`.
  void renewDeadline(bool datagram);
  // One datagram's counting and dispatch, without the deadline; false for
  // an empty one, which is not activity.
  bool handleDatagram(const uint8_t* data, size_t length);
  // Sends the player-details requests of joins that are due.
  void sendDueDetailsRequests();
  void runDueTimers();
  // Moves the scripts' HTTP requests on and calls the handler of each one
  // that ended, in its script when that is still loaded
  // (session_script_calls.cc).
  void serveRequests();
  // The first half of a reload: the scripts' last event, then everything
  // of them that must not outlive them.
  void stopScripts();
  // Drops what `script` registered, once its state is closed.
  void dropOwned(const Script& script);
  // Drops the timers, console commands and in-game words of every script
  // whose load failed; its handlers stay in the list but are never called.
  void dropFailed();
  // One pass over the operator's input after a wait: the window size, and
  // the lines that are readable now.
  void serveInput(ConsoleInput& input, bool readable);

  SessionSettings settings_;
  Clock& clock_;
  std::unique_ptr<Console> console_;  // never null; before the scripts, which use it
  DatagramSink* givenSink_;
  DatagramSink* sink_ = nullptr;  // the socket or the given sink; null before start()
  std::vector<std::string> scriptPaths_;
  bool scriptDirectories_;
  World world_;
  std::unique_ptr<ScriptManager> scripts_;
  std::unique_ptr<EventManager> events_;
  std::unique_ptr<Database> database_;
  std::unique_ptr<Moderation> moderation_;  // null when off
  bool databaseLost_ = false;               // a loss was said and no return yet
  std::unique_ptr<UdpSocket> socket_;
  // Its requests in flight at the end are cancelled with it.
  std::unique_ptr<HttpClient> http_ = std::make_unique<HttpClient>(settings_.http, clock_);
  TimerQueue timers_;
  DetailsRequestQueue detailsRequests_;
  uint64_t startMs_;
  uint64_t deadline_;
  bool connected_ = false;
  uint64_t oversizeDatagrams_ = 0;
  LoopCounters counters_;
  // While a batch of datagrams is handled with a panel: when the last
  // handling ended, which is when the next begins (one clock reading each).
  std::optional<std::chrono::steady_clock::time_point> handledUntil_;
  std::optional<uint64_t> lastDatagramMs_;
  std::optional<uint64_t> lastSnapshotMs_;
  std::optional<uint64_t> snapshotDueMs_;  // when a skipped snapshot is taken
  uint64_t sentDatagrams_ = 0;
  OneShotWatch oneShot_;
  SessionEnd endReason_ = SessionEnd::kStopped;
  const volatile std::sig_atomic_t* stop_ = nullptr;  // run()'s, while it runs
  std::unique_ptr<Commands> acts_;
  std::unique_ptr<ConsoleCommands> commands_;
  std::unique_ptr<GameWords> gameWords_;      // never null
  std::unique_ptr<RuleRunner> rules_;         // null without --rules
  std::unique_ptr<ScheduleRunner> schedule_;  // null without --schedule
  // On a shared database: the acts across the fleet; before the panel,
  // which uses it.
  std::unique_ptr<FleetDesk> fleet_;
  // Last of the members that use the session, so it stops first.
  std::unique_ptr<Panel> panel_;
  // One byte more than the largest datagram handled, so that a longer one is
  // told apart even where the kernel cannot report its full length.
  ReceiveBatch receiveBatch_{kReceiveSlots, kMaxDatagram + 1};
};

}  // namespace gsadmin

#endif  // GSADMIN_SESSION_ADMIN_SESSION_H_
