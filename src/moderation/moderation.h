#ifndef GSADMIN_MODERATION_MODERATION_H_
#define GSADMIN_MODERATION_MODERATION_H_

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "context/session_settings.h"
#include "moderation/actor.h"
#include "moderation/admins.h"
#include "moderation/appeals.h"
#include "moderation/fleet_records.h"
#include "moderation/player_history.h"
#include "moderation/record_store.h"
#include "moderation/reports.h"
#include "moderation/retention.h"
#include "moderation/sanctions.h"

namespace gsadmin {

class SessionContext;
struct Player;

// Who a sanction is on: a player on the server, or a name alone.
struct Person {
  const Player* online = nullptr;  // null for a name alone
  std::string name;                // the player's name, or the name given
};

// The built-in moderation of one session: it records players, chat and
// sanctions in the client's database, enforces bans at every join, carries
// out the moderation actions for the console, the admins in game and the
// scripts alike, and answers in-game commands. Plain C++ over the store; it
// sends, prints and fires through the session, which must outlive it.
class Moderation {
 public:
  Moderation(SessionContext& session, ModerationSettings settings);
  ~Moderation();
  Moderation(const Moderation&) = delete;
  Moderation& operator=(const Moderation&) = delete;

  // Opens the database, creates or upgrades the tables, reads the admins
  // and starts reading the active bans (Sanctions::load: the login does
  // not wait for them, joins meanwhile are checked in the database).
  // Empty on success; otherwise the reason,
  // and the session goes on without moderation. A shared database that
  // cannot be reached yet is no failure: moderation records into its
  // queue and opens when the connection comes (tick()).
  std::string open();

  // moderation_changes.cc: what the database's service() found, each pass.
  // Notices from the other clients of a shared database (and this one's
  // own, harmlessly) have the bans on a name or the admins read again;
  // players online whom a new ban covers are told and kicked. After a
  // reconnection everything held is read again, since notices were missed;
  // what this client made meanwhile is written first, so none of it is
  // lost.
  void databaseChanged(const DatabaseEvents& events);

  // What the message handlers report, in the order things happen.
  // A player-joined message: a banned name is told why and kicked at once.
  void playerJoined(const Player& player);
  // A details reply: the first of a presence starts a visit; a player
  // whose name or an alias of it is banned is told why and kicked.
  void playerDetails(const Player& player);
  // A player-left message, before the player leaves the model.
  void playerLeaving(const Player& player);
  // A death report; `killerId` absent when no player killed the victim.
  void playerDied(uint8_t victimId, std::optional<uint8_t> killerId);
  // A player's line: public chat, or a private message to `recipient`.
  // Recorded; a line that starts with '!' then goes to the session's
  // registry of in-game words.
  void chatReceived(const Player& sender, std::optional<std::string_view> recipient,
                    std::string_view text);

  // Once a pass of the loop: opens when the database has come, writes
  // what was recorded once its batch is due (nextWriteMs()), reads what
  // other clients changed and, once a day, deletes the history that has
  // expired.
  void tick();
  // When the records queued so far are due to be written, on the session's
  // clock: kRecordBatchMs after the first of them, or at once when
  // kRecordBatchWrites wait or a notice to the other clients of a shared
  // database does (a ban made here should kick there at once). Empty when nothing waits. Batching
  // them spares the disk a commit for every line of a busy chat: each commit writes some five whole
  // pages of chat and its indexes whatever it holds, so at 100 lines a second 0.4 s of lines cost
  // some 600 bytes each (a tenth of a second's, 1.7 KB), and a record still reaches the database
  // well within a second.
  std::optional<uint64_t> nextWriteMs() const;
  // When the next slice of the daily purge is due, on the session's clock;
  // empty while no purge runs. A slice deletes at most
  // RetentionPurge::kPurgeBatchRows rows, one every kPurgeSliceMs.
  std::optional<uint64_t> nextPurgeMs() const;
  static constexpr uint64_t kPurgeSliceMs = 50;
  static constexpr uint64_t kRecordBatchMs = 400;
  static constexpr size_t kRecordBatchWrites = 1000;
  // When tick() has work next, in ms from now: while the bans are read,
  // every Sanctions::kLoadPollMs; otherwise never.
  std::optional<uint64_t> msUntilWork() const;
  // Writes what was recorded so far now rather than at the next tick(), so
  // that a reader on another connection sees it; an error is said as
  // tick() says it.
  void writeRecords();
  // At the end of the session: ends the visits of the players still on
  // and writes everything. What a shared database that is away cannot
  // take stays in the journal for the next run; without a journal it is
  // waited for up to kCloseWaitMs, and a loss is said in one line.
  void close();
  static constexpr uint64_t kCloseWaitMs = 2000;

  // The actions. Each one carries out its datagrams, prints one "* " line
  // naming the actor, records the sanction and an audit line, and fires
  // "onPlayerSanctioned". Empty when done; otherwise the reason it was
  // refused (one line, nothing done, nothing printed): the caller says it
  // in its own way. A Person is a player on the server, or a name alone
  // (seen before or not): the sanction is recorded on the name and holds
  // at the next join.
  std::string warn(const Actor& actor, const Person& person, std::string_view reason);
  // `plain`: the kick request alone, without the message to the player or
  // the console line (the script API's kickPlayer); still recorded.
  std::string kick(const Actor& actor, const Player& player, std::string_view reason,
                   bool plain = false);
  // A ban of `seconds` (1 to kMaxDurationSeconds), kept by the client.
  std::string tempban(const Actor& actor, const Person& person, int64_t seconds,
                      std::string_view reason);
  // On a player on the server, the server's own ban, recorded and also
  // kept by the client; on a name alone, the client's ban.
  std::string ban(const Actor& actor, const Person& person, std::string_view reason,
                  bool plain = false);
  // Lifts the client's bans on `name` and its aliases; the number lifted.
  // Fires "onPlayerSanctioned" only when one was. `reason` is recorded
  // and audited.
  size_t unban(const Actor& actor, std::string_view name, std::string_view reason = "");
  // moderation_ban_edits.cc: the ban numbered `id` (as the bans list shows
  // it) gets the reason `reason`, or lasts `seconds` from when it was made
  // (longer or shorter; refused for a ban that was lifted). Each prints
  // one "* " line and writes one audit line.
  std::string rewordBan(const Actor& actor, int64_t id, std::string_view reason);
  std::string relengthBan(const Actor& actor, int64_t id, int64_t seconds);
  std::string note(const Actor& actor, std::string_view name, std::string_view text);
  // Makes the player on the server an admin of `level`, bound to the name
  // and details text the server gave. Refused, unless settings say
  // trustNames, when that text tells nobody apart: empty or "Unknown",
  // holding the player's name (any case), or changed during this visit.
  std::string addAdmin(const Actor& actor, const Player& player, int level);
  std::string removeAdmin(const Actor& actor, std::string_view name);
  // moderation_reports.cc: a report of `person` by `actor` with `reason`:
  // a player on the server, or a name seen in the last kReportSeenSeconds
  // (kept as last seen, so that the report names that player after a
  // leave). Once in a cooldown (--report-cooldown) for each actor. Printed
  // "* Report #12: Bob by Ann: aimbot", sent so to the admins in game,
  // audited, and fired as "onPlayerReport". Empty when filed, with the
  // reporter's one confirmation in *confirmation; else the refusal.
  std::string report(const Actor& actor, const Person& person, std::string_view reason,
                     std::string* confirmation);
  static constexpr int64_t kReportSeenSeconds = 3600;
  // Claims report `id` for `actor`, or closes it with the sanction
  // numbered `sanction` (none: no action) and `note`; each prints one
  // "* " line and writes one audit line. Refused for a closed report.
  std::string claimReport(const Actor& actor, int64_t id);
  std::string closeReport(const Actor& actor, int64_t id, std::optional<int64_t> sanction,
                          std::string_view note);
  // moderation_appeals.cc: the appeal of the ban numbered `ban` by `name`
  // with `text`, from the public listener, kept under `tokenHash`. Refused
  // alike when there is no such ban or it is on another name, so that a
  // guess learns nothing; refused when the ban no longer holds or has an
  // appeal open. Printed "* Appeal #3 of ban #12 by Bob" and told to the
  // admins in game. Empty when filed, with its number in *number (0 while
  // its row is not written); else the refusal.
  std::string fileAppeal(int64_t ban, std::string_view name, std::string_view text,
                         const std::string& tokenHash, int64_t* number);
  // Accepts appeal `id`: the bans on its name are lifted by unban() (its
  // reason "appeal #3", audited as an unban), then the decision is
  // recorded with `reply` and audited ("appeal accept", linked to the
  // ban). Rejects it with `reply` (needed), audited ("appeal reject").
  // Each prints one "* " line; refused for an appeal decided already.
  std::string acceptAppeal(const Actor& actor, int64_t id, std::string_view reply);
  std::string rejectAppeal(const Actor& actor, int64_t id, std::string_view reply);
  // On a shared database, when the fleet's heartbeat or players are due to
  // be queued (FleetPresence), on the session's clock; empty otherwise.
  std::optional<uint64_t> nextFleetMs();
  // When the next report's evidence is due to be copied, on the session's
  // clock; empty when none waits.
  std::optional<uint64_t> nextReportMs() const { return reports_.nextDueMs(); }

  // Audits an act that records nothing else (a slap, the panel's chat).
  void auditAct(const Actor& actor, std::string_view kind, std::string_view name,
                std::string_view text);

  // The level of the admin in game the player is, or 0.
  int levelOf(const Player& player) const;

  PlayerHistory& history() { return history_; }
  Sanctions& sanctions() { return sanctions_; }
  Admins& admins() { return admins_; }
  Reports& reports() { return reports_; }
  Appeals& appeals() { return appeals_; }
  SessionContext& session() { return session_; }
  RecordStore& store() { return store_; }
  const ModerationSettings& settings() const { return settings_; }
  // Seconds since the epoch, on the session's clock.
  int64_t now();

 private:
  // What moderation knows of a player while on the server.
  struct Presence {
    bool visiting = false;  // a visit was started (first details reply)
    int64_t joined = 0;
    std::string name;
    // Told and kicked once already, as banned or by an act: not again,
    // while the server takes the player off.
    bool kickedAsBanned = false;
    // The visit's first details text, and whether a later reply differed:
    // a text that changes during a visit (ping, health) binds no admin.
    std::string firstDetails;
    bool detailsChanged = false;
  };

  // The ban numbered `id`, or none with *refusal saying why.
  std::optional<SanctionRecord> editableBan(int64_t id, std::string* refusal);

  // moderation_admin_actions.cc: why the player's details text cannot bind
  // an admin (see addAdmin), or empty.
  std::string bindingRefusal(const Player& player) const;

  // Ends the visit, if one was started, and forgets the presence.
  void endVisit(Presence& presence);
  // moderation_enforcement.cc: the ban that holds for the player's name or
  // one of its aliases; when there is one, the player is told and kicked.
  void enforceBan(const Player& player, bool withAliases);
  // The player was kicked or banned by an action: a ban that reaches this
  // client afterwards, its own notice from a shared database among them,
  // kicks no more (the slot may be another player's by then).
  void removedByAct(uint8_t playerId);
  // moderation_actions.cc: the "* " line, the event and the audit of an
  // action on `name`.
  // An empty `line` prints nothing.
  void announce(const Actor& actor, std::string_view name, std::string_view kind, int64_t seconds,
                std::string_view reason, const std::string& line);
  // Kicks or bans after a warning when the active warnings reach a
  // threshold.
  // `online`: the player warned, when on the server.
  struct PlayerMark {
    uint8_t id;
    uint64_t addedAt;
  };
  void applyWarningThresholds(const Actor& actor, Person person, std::optional<PlayerMark> online);
  // Why `actor` may not act on `person` (a higher admin), or empty.
  std::string rankRefusal(const Actor& actor, const Person& person) const;
  // " (never seen)" for a name alone that no record knows, else empty.
  std::string unseenMark(const Person& person);
  void reportStoreError(const std::optional<std::string>& error);
  // Writes the queued records when their batch is due; see nextWriteMs().
  void writeWhenDue();
  // moderation_changes.cc.
  // Reads the bans and the admins; false when that failed.
  bool readHeld();
  // Opens once a shared database that was away at start is reachable;
  // true when open.
  bool openWhenConnected();
  // On a shared database, takes the journal into use and back what an
  // earlier run left in it; each outcome said in a line.
  void openJournal();
  // Reads again what notices named, once the queue is written; then
  // enforces the bans on the players online.
  void applyChanges();
  bool anythingStale() const;
  void enforceOnline();
  // On a shared database, queues the fleet's heartbeat and players when due.
  void tickFleet();
  // A shared database, open and connected: the fleet's records may go.
  bool fleetReachable() const;

  SessionContext& session_;
  ModerationSettings settings_;
  RecordStore store_;
  PlayerHistory history_;
  RetentionPurge purge_;
  uint64_t nextPurgeSliceMs_ = 0;
  Sanctions sanctions_;
  Admins admins_;
  Reports reports_;
  Appeals appeals_;
  ReportCooldown reportCooldown_;
  FleetPresence fleet_;
  std::array<Presence, 256> presence_{};
  int64_t nextExpiry_ = 0;
  // When the writes waiting in the store are due; empty while none wait.
  std::optional<uint64_t> writeDueMs_;
  uint64_t droppedReported_ = 0;
  bool opened_ = false;      // the tables are there and what is held was read
  bool openFailed_ = false;  // said so once; not tried again
  // What other clients changed, to be read again: the bans on these name
  // keys, the admins, or everything.
  std::set<std::string> staleBans_;
  bool staleAdmins_ = false;
  bool staleAll_ = false;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_MODERATION_H_
