#include "session/admin_session.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <string>

#include "console/printable.h"
#include "platform/poller.h"
#include "platform/resolve.h"
#include "protocol/dispatch.h"
#include "protocol/outbound.h"
#include "protocol/wire.h"
#include "session/console_commands.h"
#include "session/default_paths.h"

namespace gsadmin {
namespace {

// Bounds one poll's receiving under a flood, so the deadline is still
// checked; what is left waits for the next poll, which follows at once.
constexpr size_t kMaxDatagramsPerPoll = 1024;

// Large enough that a burst of many thousand small datagrams is queued by
// the kernel rather than dropped.
constexpr int kReceiveQueueBytes = 16 * 1024 * 1024;

}  // namespace

AdminSession::AdminSession(SessionSettings settings, Clock& clock, SessionIo io)
    : settings_(std::move(settings)),
      clock_(clock),
      console_(io.console ? std::move(io.console) : std::make_unique<StdioConsole>()),
      givenSink_(io.sink),
      scriptPaths_(std::move(io.scriptPaths)),
      scriptDirectories_(io.scriptDirectories),
      scripts_(std::make_unique<ScriptManager>(*console_, this)),
      events_(std::make_unique<EventManager>(*scripts_)),
      database_(makeDatabase(
          settings_.databasePath.value_or(databasePathFor(scriptPaths_, scriptDirectories_)),
          settings_.databasePassword)),
      startMs_(clock.nowMs()),
      deadline_(startMs_ + kSilenceMs),
      acts_(std::make_unique<Commands>(*this)),
      commands_(std::make_unique<ConsoleCommands>(*this)),
      panel_(std::move(io.panel)) {
  // A statement a script runs stops when the script's own code would.
  database_->setInterruptCheck([this]() { return scripts_->stopReason(); });
  if (settings_.moderation.enabled) {
    if (settings_.moderation.journalPath.empty()) {
      settings_.moderation.journalPath = journalPathFor(scriptPaths_, scriptDirectories_);
    }
    moderation_ = std::make_unique<Moderation>(*this, settings_.moderation);
  }
  gameWords_ = makeGameWords();
  startRules(io);
}

AdminSession::~AdminSession() {
  events_->setWatcher(nullptr);
  // Its threads must not wait on a loop that is gone.
  if (panel_) panel_->stop();
  // The scripts' last finalisers may still use the session: close their
  // states while all of it is there.
  scripts_->unloadScripts();
  if (moderation_) moderation_->close();
}

bool AdminSession::start() {
  connectDatabase();
  // Before the scripts, which may read the moderation tables at once.
  openModeration();
  auto runTypedLine = [this](const std::string& line, const Actor& actor) {
    handleTypedLine(line, actor);
  };
  if (moderation_ && moderation_->store().shared()) {
    fleet_ = std::make_unique<FleetDesk>(*this, runTypedLine);
  }
  if (panel_) panel_->start(*this, runTypedLine, fleet_.get());
  scripts_->loadAll(scriptPaths_, scriptDirectories_);
  dropFailed();
  events_->fireEvent(Event::kStart);
  if (settings_.serverPort == 0) {
    console_->line("ERROR: Port not set!");
    return false;
  }
  if (givenSink_ != nullptr) {
    sink_ = givenSink_;  // in place of the socket, at the moment it would open
  } else if (!connectSocket()) {
    console_->line("ERROR: socket creation failed");
    return false;
  }
  connected_ = false;
  deadline_ = clock_.nowMs();  // the first poll that sees time move on logs in
  return true;
}

bool AdminSession::connectSocket() {
  // The stdout line stays as it always was; standard error says what failed.
  std::string where = printable(settings_.serverIP) + ":" + std::to_string(settings_.serverPort);
  std::string reason;
  std::optional<sockaddr_in> address =
      resolveIPv4(settings_.serverIP, settings_.serverPort, &reason);
  if (!address) {
    console_->errorLine("gsadmin: " + where + ": cannot resolve the address: " + reason);
    return false;
  }
  socket_ = UdpSocket::connectTo(*address, &reason);
  if (!socket_) {
    console_->errorLine("gsadmin: " + where + ": " + reason);
    return false;
  }
  socket_->setReceiveBufferSize(kReceiveQueueBytes);
  sink_ = socket_.get();
  return true;
}

bool AdminSession::run(const volatile std::sig_atomic_t* stop, volatile std::sig_atomic_t* reload,
                       ConsoleInput input) {
  bool started = start();
  stop_ = stop;
  oneShot_.start(input.connectTimeoutMs, clock_.nowMs());
  if (input.source) {
    input.source->setMarkSource([this]() { return world_.players().mark(); });
    input.source->setCompleter([this](std::string_view lineBeforeWord, std::string_view word) {
      return consoleCompletions(lineBeforeWord, word);
    });
  }
  Poller poller;
  while (started && (stop == nullptr || !*stop) && !quitRequested()) {
    if (reload != nullptr && *reload) {
      *reload = 0;
      reloadScript();
      reloadRules();
      if (panel_) panel_->reloadAccounts(*console_);
    }
    poll();
    servePanel();
    if (input.source && input.source->endRequested()) break;
    if (oneShotOver(input)) break;
    // The set is made again each time: standard input joins it only while
    // it is read.
    poller.clear();
    if (socket_) poller.watch(socket_->descriptor());
    http_->watchOn(poller);
    database_->watchOn(poller);
    if (panel_ && panel_->wakeFd() >= 0) poller.watch(panel_->wakeFd());
    bool reading = input.source && !input.source->atEnd() &&
                   (!input.waitForServer || serverInfo().name.has_value());
    size_t inputIndex = reading ? poller.watch(input.source->fd()) : 0;
    uint64_t waitMs = std::min<uint64_t>(msUntilWork(), INT_MAX);
    if (std::optional<uint64_t> change = oneShot_.msUntilChange(clock_.nowMs())) {
      waitMs = std::min(waitMs, *change);
    }
    // Only while it waits may Ctrl-C be the editor's key rather than SIGINT.
    if (reading) input.source->setWaiting(true);
    poller.waitUnless(static_cast<int>(waitMs), {stop, reload});
    if (reading) input.source->setWaiting(false);
    if (input.source) serveInput(input, reading && poller.readable(inputIndex));
  }
  if (panel_) panel_->stop();
  if (started) {
    scripts_->tolerateStopRequested();
    events_->fireEvent(Event::kScriptStop);
    // Its finalisers run now, under the budget, and may still write.
    scripts_->unloadScripts();
  }
  rollBackDatabaseTransaction();
  if (moderation_) moderation_->close();
  stop_ = nullptr;
  return started;
}

bool AdminSession::oneShotOver(const ConsoleInput& input) {
  uint64_t now = clock_.nowMs();
  if (std::optional<SessionEnd> failure = oneShot_.loginFailure(now)) {
    endReason_ = *failure;
    if (*failure == SessionEnd::kLoginRefused) {
      console_->line("ERROR: Login refused by the server");
    } else {
      console_->line("ERROR: Not connected to " + std::string(untilNul(settings_.serverIP)) + ":" +
                     std::to_string(settings_.serverPort) + " within " +
                     std::to_string(oneShot_.connectTimeoutMs() / 1000) + " s");
    }
    return true;
  }
  return input.source && input.endWithInput && input.source->atEnd() &&
         oneShot_.commandsAnswered(now);
}

uint64_t AdminSession::msUntilWork() {
  uint64_t now = clock_.nowMs();
  // The deadline passes at the first reading later than it.
  uint64_t wakeAt = deadline_ + 1;
  if (std::optional<uint64_t> due = timers_.nextDueMs()) wakeAt = std::min(wakeAt, *due);
  if (std::optional<uint64_t> due = detailsRequests_.nextDueMs()) wakeAt = std::min(wakeAt, *due);
  if (std::optional<uint64_t> due = http_->nextWorkMs()) wakeAt = std::min(wakeAt, *due);
  if (snapshotDueMs_) wakeAt = std::min(wakeAt, *snapshotDueMs_);
  if (schedule_) wakeAt = std::min(wakeAt, now + schedule_->msUntilDue());
  if (std::optional<uint64_t> due = database_->nextWorkMs()) wakeAt = std::min(wakeAt, *due);
  if (moderation_) {
    if (std::optional<uint64_t> due = moderation_->nextWriteMs()) wakeAt = std::min(wakeAt, *due);
    if (std::optional<uint64_t> due = moderation_->nextPurgeMs()) wakeAt = std::min(wakeAt, *due);
    if (std::optional<uint64_t> due = moderation_->nextReportMs()) wakeAt = std::min(wakeAt, *due);
    if (std::optional<uint64_t> due = moderation_->nextFleetMs()) wakeAt = std::min(wakeAt, *due);
    if (std::optional<uint64_t> due = moderation_->msUntilWork()) {
      wakeAt = std::min(wakeAt, now + *due);
    }
  }
  std::optional<uint64_t> panelDue = panel_ ? panel_->msUntilWork(now) : std::nullopt;
  if (panelDue) wakeAt = std::min(wakeAt, now + *panelDue);
  return wakeAt > now ? wakeAt - now : 0;
}

void AdminSession::rollBackDatabaseTransaction() {
  if (database_->rollBackOpenTransaction()) {
    console_->line("LUA: Open database transaction rolled back.");
  }
}

void AdminSession::poll() {
  // First, so that a ban another client made holds for the joins read now.
  serviceDatabase();
  if (socket_) receiveWaiting();

  sendDueDetailsRequests();
  checkDeadline();
  runDueTimers();
  serveRequests();
  if (moderation_) moderation_->tick();
  if (fleet_) fleet_->tick();
  if (schedule_) schedule_->poll();
}

void AdminSession::checkDeadline() {
  uint64_t now = clock_.nowMs();
  if (connected_) {
    if (now > deadline_) {
      console_->entry(LogEntry(LogKind::kDisconnect, "DISCONNECT: Connection timed out")
                          .add("reason", "timed out"));
      events_->fireEvent(Event::kDisconnect,
                         wire::kDisconnectTimedOut);  // handlers still see connected
      deadline_ = clock_.nowMs() + kSilenceMs;
      connected_ = false;
    }
    return;
  }
  if (now > deadline_) sendLogin();
}

void AdminSession::sendDueDetailsRequests() {
  if (detailsRequests_.size() == 0) return;  // as on most passes: no clock read, no walk
  for (uint8_t id : detailsRequests_.takeDue(clock_.nowMs())) sendPlayerDetailsRequest(*this, id);
}

void AdminSession::receiveWaiting() {
  bool errorSeen = false;
  bool datagram = false;  // an empty one is none
  size_t taken = 0;
  while (taken < kMaxDatagramsPerPoll) {
    size_t wanted = std::min(kMaxDatagramsPerPoll - taken, receiveBatch_.slots());
    BatchReceiveResult received = socket_->receiveBatch(receiveBatch_, wanted);
    if (received.kind == ReceiveResult::Kind::kNothing) break;
    if (received.kind == ReceiveResult::Kind::kError) {
      errorSeen = true;  // a receive error is activity too
      ++taken;
      continue;
    }
    if (panel_) handledUntil_ = std::chrono::steady_clock::now();
    for (size_t i = 0; i < received.count; ++i) {
      datagram |= handleDatagram(receiveBatch_.data(i), receiveBatch_.length(i));
    }
    handledUntil_.reset();
    taken += received.count;
    if (received.count < wanted) break;  // the queue is empty
  }
  // One reading for the pass: later than each datagram's own by at most the
  // pass's handling.
  if (errorSeen || datagram) renewDeadline(datagram);
}

void AdminSession::renewDeadline(bool datagram) {
  uint64_t now = clock_.nowMs();
  deadline_ = now + kSilenceMs;
  if (datagram) lastDatagramMs_ = now;
}

void AdminSession::receiveDatagram(const uint8_t* data, size_t length) {
  if (length == 0) return;
  // Any datagram, even one not handled, is activity.
  renewDeadline(true);
  handleDatagram(data, length);
}

bool AdminSession::handleDatagram(const uint8_t* data, size_t length) {
  if (length == 0) return false;
  if (length > kMaxDatagram) {
    ++oversizeDatagrams_;
    return true;
  }
  ++counters_.datagramsByType[data[0]];
  if (panel_) {
    // Real time, not the session's clock: the metrics measure the handlers.
    // Only the panel reads them, so without one nothing is timed.
    auto began = handledUntil_.value_or(std::chrono::steady_clock::now());
    dispatchMessage(*this, data[0], data + 1, length - 1);
    auto ended = std::chrono::steady_clock::now();
    if (handledUntil_) handledUntil_ = ended;
    auto took = ended - began;
    counters_.countHandler(
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(took).count()));
  } else {
    dispatchMessage(*this, data[0], data + 1, length - 1);
  }
  oneShot_.datagramReceived(data[0]);
  return true;
}

void AdminSession::sendLogin() {
  send(buildLogin(settings_.adminName, settings_.adminPassword));
  console_->line("Connecting to " + std::string(untilNul(settings_.serverIP)) + ":" +
                 std::to_string(settings_.serverPort) + " as " +
                 std::string(untilNul(settings_.adminName)) + "...");
  connected_ = true;
  deadline_ = clock_.nowMs() + kSilenceMs;
}

void AdminSession::send(const std::vector<uint8_t>& datagram) {
  if (!sink_) return;
  sink_->send(datagram.data(), datagram.size());
  ++sentDatagrams_;
}

bool AdminSession::addEventHandler(uint64_t owner, std::string_view eventName,
                                   std::string_view functionName) {
  return events_->addHandler(eventName, functionName, owner) != nullptr;
}

void AdminSession::removeEventHandler(uint64_t owner, std::string_view eventName,
                                      std::string_view functionName) {
  events_->removeHandler(eventName, functionName, owner);
}

std::string AdminSession::addConsoleCommand(uint64_t owner, std::string_view word,
                                            std::string_view functionName, std::string_view help) {
  return commands_->addScriptCommand(owner, word, functionName, help);
}

void AdminSession::sendChatFrame(std::string_view text) {
  send(buildChatFrame(text));
}

void AdminSession::sendKickRequest(uint8_t playerId) {
  send(buildKickRequest(playerId));
}

void AdminSession::sendBanRequest(uint8_t playerId) {
  send(buildBanRequest(playerId));
}

void AdminSession::handleTypedLine(std::string_view line) {
  handleTypedLine(line, commands_->operatorActor());
}

void AdminSession::handleTypedLine(std::string_view line, const Actor& actor,
                                   std::optional<uint64_t> mark) {
  uint64_t sentBefore = sentDatagrams_;
  commands_->handle(line, actor, mark);
  if (sentDatagrams_ != sentBefore) oneShot_.commandSent(clock_.nowMs());
}

std::vector<std::string> AdminSession::consoleCompletions(std::string_view lineBeforeWord,
                                                          std::string_view word) {
  return commands_->completions(lineBeforeWord, word);
}

bool AdminSession::quitRequested() const {
  return commands_->quitRequested();
}

void AdminSession::serveInput(ConsoleInput& input, bool readable) {
  if (input.resized && *input.resized) {
    *input.resized = 0;
    input.source->terminalResized();
  }
  if (!readable) return;
  for (const InputLine& line : input.source->readAvailable()) {
    if (!line.refusal.empty()) {
      console_->line("* " + line.refusal);
      continue;
    }
    handleTypedLine(line.text, commands_->operatorActor(), line.mark);
    if (quitRequested()) return;
  }
}

}  // namespace gsadmin
