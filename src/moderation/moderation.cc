#include "moderation/moderation.h"

#include "base/durations.h"
#include "console/printable.h"
#include "context/session_context.h"
#include "model/player_manager.h"

namespace gsadmin {
namespace {

constexpr int64_t kBatchDays = 30;

}  // namespace

Moderation::Moderation(SessionContext& session, ModerationSettings settings)
    : session_(session),
      settings_(settings),
      store_(session.database()),
      history_(store_),
      purge_(store_),
      sanctions_(store_),
      admins_(store_),
      reports_(store_),
      appeals_(store_),
      reportCooldown_(settings_.reportCooldownSeconds),
      fleet_(store_) {
  const SessionSettings& where = session.settings();
  store_.setServerName(settings_.serverName.empty()
                           ? where.serverIP + ":" + std::to_string(where.serverPort)
                           : settings_.serverName);
  openJournal();
}

void Moderation::openJournal() {
  if (!store_.shared() || settings_.journalPath.empty()) return;
  const std::string& path = settings_.journalPath;
  auto journal = std::make_unique<RecordJournal>(path);
  std::string error = journal->open();
  size_t restored = 0, damaged = 0;
  if (error.empty()) error = store_.useJournal(std::move(journal), &restored, &damaged);
  Console& console = session_.console();
  if (!error.empty()) {
    console.line("* moderation: cannot use the journal " + printable(path) + ": " +
                 printable(error) + "; records wait in memory only");
    return;
  }
  if (damaged > 0) {
    console.line("* moderation: " + std::to_string(damaged) + " records in " + printable(path) +
                 " are unreadable and skipped");
  }
  if (restored > 0) {
    console.line("* moderation: " + std::to_string(restored) + " records from " + printable(path) +
                 " to write");
  }
}

Moderation::~Moderation() = default;

std::string Moderation::open() {
  // Kept across reconnections by the database, so asked once.
  if (store_.shared()) store_.database().listen(kChangesChannel);
  std::string error = store_.open();
  if (!error.empty()) return store_.unavailable() ? "" : error;
  opened_ = true;
  history_.closeVisitsLeftOpen();
  error = sanctions_.load(now());
  if (error.empty()) error = admins_.load();
  if (!error.empty() && !store_.database().connected()) {
    staleAll_ = true;  // lost meanwhile: read when it is back
    return "";
  }
  return error;
}

int64_t Moderation::now() {
  return session_.clock().wallSeconds();
}

void Moderation::playerJoined(const Player& player) {
  // A join for an id already held replaces that player without a quit.
  endVisit(presence_[player.id]);
  presence_[player.id].name = player.name;
  fleet_.changed();
  enforceBan(player, false);
}

void Moderation::playerDetails(const Player& player) {
  Presence& presence = presence_[player.id];
  if (!presence.visiting || presence.name != player.name) {
    if (presence.visiting) history_.visitEnded(presence.name, presence.joined, now());
    presence = Presence{true, now(), player.name, presence.kickedAsBanned, player.info, false};
    history_.visitStarted(player.name, player.info, presence.joined);
  } else if (player.info != presence.firstDetails) {
    presence.detailsChanged = true;
  }
  enforceBan(player, true);
}

void Moderation::playerLeaving(const Player& player) {
  fleet_.changed();
  endVisit(presence_[player.id]);
}

void Moderation::endVisit(Presence& presence) {
  if (presence.visiting) history_.visitEnded(presence.name, presence.joined, now());
  presence = Presence{};
}

void Moderation::playerDied(uint8_t victimId, std::optional<uint8_t> killerId) {
  const Player* victim = session_.players().find(victimId);
  if (victim == nullptr) return;
  std::optional<std::string_view> killer;
  if (killerId && *killerId != victimId) {
    if (const Player* found = session_.players().find(*killerId)) killer = found->name;
  }
  history_.deathRecorded(victim->name, killer, now());
}

void Moderation::chatReceived(const Player& sender, std::optional<std::string_view> recipient,
                              std::string_view text) {
  history_.chatRecorded(sender.name, recipient, text, now());
}

void Moderation::tick() {
  if (!openWhenConnected()) {
    // Not yet open, the database away: what is recorded goes to the
    // journal, a batch at a time.
    if (store_.journal() != nullptr) writeWhenDue();
    return;
  }
  std::string error = sanctions_.poll(now());
  if (!error.empty())
    session_.console().line("* moderation: cannot read the bans: " + printable(error));
  // What other clients changed is read once this client's own records are
  // written (applyChanges()), so a notice has them go at once.
  if (anythingStale()) {
    writeRecords();
  } else {
    writeWhenDue();
  }
  applyChanges();
  tickFleet();
  int64_t moment = now();
  if (moment >= nextExpiry_) {
    purge_.start(settings_.retention, moment);
    // Long enough to settle a write whose commit was not answered
    // (RecordStore), however long a client was cut off, whatever the
    // machines' clocks say.
    if (store_.shared()) {
      store_.queue("DELETE FROM gs_batches WHERE time < ?",
                   {DbValue::integer(moment - kBatchDays * kSecondsPerDay)});
      purgeFleetRequests(store_, moment);
    }
    nextExpiry_ = moment + kSecondsPerDay;
  }
  uint64_t nowMs = session_.clock().nowMs();
  reports_.completeDue(nowMs);
  if (purge_.running() && nowMs >= nextPurgeSliceMs_) {
    purge_.step();
    nextPurgeSliceMs_ = nowMs + kPurgeSliceMs;
  }
}

std::optional<uint64_t> Moderation::nextPurgeMs() const {
  if (!purge_.running()) return std::nullopt;
  return nextPurgeSliceMs_;
}

void Moderation::writeWhenDue() {
  if (store_.queued() == 0) {
    writeDueMs_.reset();
    return;
  }
  uint64_t nowMs = session_.clock().nowMs();
  if (!writeDueMs_) writeDueMs_ = nowMs + kRecordBatchMs;
  if (nowMs < nextWriteMs().value_or(0)) return;
  writeRecords();
  // What could not go (a script's transaction open, a database away) is
  // tried again a batch later.
  writeDueMs_.reset();
  if (store_.queued() > 0) writeDueMs_ = nowMs + kRecordBatchMs;
}

std::optional<uint64_t> Moderation::nextWriteMs() const {
  if (store_.queued() == 0) return std::nullopt;
  if (store_.queued() >= kRecordBatchWrites || store_.noticeWaiting()) return 0;
  // Queued since the last pass: due a batch from now, as tick() will say.
  return writeDueMs_ ? *writeDueMs_ : session_.clock().nowMs() + kRecordBatchMs;
}

void Moderation::tickFleet() {
  // While the database is away the fleet sees this client offline anyway:
  // heartbeats would only crowd the journal. The players go once it is back.
  if (!fleetReachable()) {
    fleet_.changed();
    return;
  }
  std::vector<FleetPlayer> players;
  for (const auto& player : session_.players().all()) {
    players.push_back({player->id, player->name, player->kills, player->deaths});
  }
  fleet_.tick(now(), players);
}

bool Moderation::fleetReachable() const {
  return store_.shared() && opened_ && store_.database().connected();
}

std::optional<uint64_t> Moderation::nextFleetMs() {
  if (!fleetReachable()) return std::nullopt;
  int64_t seconds = fleet_.nextDue() - now();
  uint64_t nowMs = session_.clock().nowMs();
  return seconds <= 0 ? nowMs : nowMs + static_cast<uint64_t>(seconds) * 1000;
}

std::optional<uint64_t> Moderation::msUntilWork() const {
  if (!sanctions_.loading()) return std::nullopt;
  return Sanctions::kLoadPollMs;
}

void Moderation::writeRecords() {
  reportStoreError(store_.flush());
}

void Moderation::close() {
  for (Presence& presence : presence_) endVisit(presence);
  if (fleetReachable()) fleet_.stopped();
  reportStoreError(store_.flush());
  if (store_.queued() == 0 || store_.database().connected()) return;
  if (store_.journal() != nullptr && store_.keepInJournal().empty()) {
    session_.console().line("* moderation: " + std::to_string(store_.queued()) +
                            " records kept in " + printable(store_.journal()->path()) +
                            " until the database is back");
    return;
  }
  // A database away at the end: one short wait for it, as at the start,
  // before what waits is lost; a loss is said, never silent.
  if (store_.database().awaitConnection(kCloseWaitMs)) reportStoreError(store_.flush());
  if (store_.queued() == 0) return;
  session_.console().line("* moderation: " + std::to_string(store_.queued()) +
                          " records not written: the database is away");
}

int Moderation::levelOf(const Player& player) const {
  return admins_.levelOf(player.name, player.info);
}

void Moderation::reportStoreError(const std::optional<std::string>& error) {
  if (error) session_.console().line("* moderation: cannot record: " + printable(*error));
  if (store_.dropped() != droppedReported_) {
    session_.console().line("* moderation: " + std::to_string(store_.dropped() - droppedReported_) +
                            " records dropped: the database took none for too long");
    droppedReported_ = store_.dropped();
  }
}

}  // namespace gsadmin
