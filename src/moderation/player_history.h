#ifndef GSADMIN_MODERATION_PLAYER_HISTORY_H_
#define GSADMIN_MODERATION_PLAYER_HISTORY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "moderation/record_store.h"
#include "moderation/records.h"
#include "moderation/seen_names.h"

namespace gsadmin {

// Who played, when, how long and how well, and what they said: the
// gs_players, gs_sessions and gs_chat tables. Recording only queues
// writes (RecordStore); the queries see everything recorded before them.
// Texts are kept bounded (record_store.h): names to kMaxNameBytes, details
// to kMaxDetailsBytes, chat lines to kMaxTextBytes. A query that fails
// finds nothing. The store must outlive the history.
class PlayerHistory {
 public:
  // The most aliases find() lists, lines lastChat() returns and players
  // search() returns, however many are asked for.
  static constexpr size_t kMaxAliases = 100;
  static constexpr size_t kMaxChatLines = 1000;
  static constexpr size_t kMaxSearchResults = 1000;
  // The most names namesStartingWith() returns.
  static constexpr size_t kMaxStartingNames = 50;

  explicit PlayerHistory(RecordStore& store) : store_(store) {}

  // A player's visit: the first details reply of a presence (`now` in
  // seconds since the epoch). Creates or updates the player's record
  // (name as typed, details, last seen, one more visit; first seen when
  // new) and opens a session that started at `now`.
  void visitStarted(std::string_view name, std::string_view details, int64_t now);
  // Ends, with no time played, the visits of this server that a client
  // which stopped without closing them left open: the players are not on.
  void closeVisitsLeftOpen();
  // The end of that visit (`joined` is the `now` it started at): closes
  // the session, adds its length to the time played and sets last seen.
  void visitEnded(std::string_view name, int64_t joined, int64_t now);
  // One death: the victim's deaths and, where there is a killer other
  // than the victim, the killer's kills and a row of gs_kills. A player not
  // yet recorded is created (no visit counted).
  void deathRecorded(std::string_view victim, std::optional<std::string_view> killer, int64_t now);
  // One line of chat; `recipient` set for a private message.
  void chatRecorded(std::string_view name, std::optional<std::string_view> recipient,
                    std::string_view text, int64_t now);

  // Deletes the chat and the kills of more than `days` days before `now`, and the
  // sessions that ended before then or, never closed (a client that
  // stopped without closing them), began before then; 0 keeps everything. Players, sanctions,
  // notes, admins and the audit are kept.
  void expire(int64_t days, int64_t now);

  // The record of `name` (any case) with its aliases (at most
  // kMaxAliases), or none when the name was never seen. Given `now`, its
  // time played counts the visits under way on this server up to then too,
  // not only those that ended.
  std::optional<PlayerRecord> find(std::string_view name,
                                   std::optional<int64_t> now = std::nullopt);
  // The names seen with `details` as their last details text, by name
  // (at most kMaxAliases + 1); none when it does not identify players (see
  // detailsIdentify).
  std::vector<std::string> namesWithDetails(std::string_view details);
  // The last `count` chat lines of `name` (any case), oldest first.
  std::vector<ChatRecord> lastChat(std::string_view name, size_t count);
  // Up to `count` players whose name contains `text` (any case), most
  // recently seen first.
  std::vector<PlayerRecord> search(std::string_view text, size_t count);
  // Up to `count` (at most kMaxStartingNames) recorded names that start
  // with `start` (any case), by name key; for completing a typed name, so
  // it must be quick. On a database file of this client's own, one
  // indexed query of the players' table; on a shared one, which may be
  // far away, only the names recorded during this run (kept in memory).
  std::vector<std::string> namesStartingWith(std::string_view start, size_t count);

 private:
  RecordStore& store_;
  SeenNames seen_;  // the names recorded during this run
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_PLAYER_HISTORY_H_
