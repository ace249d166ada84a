#ifndef GSADMIN_BENCH_MODERATION_BENCH_H_
#define GSADMIN_BENCH_MODERATION_BENCH_H_

#include <cstddef>
#include <cstdint>

namespace gsadmin::bench {

// What the built-in moderation costs, on real database files in a temporary
// directory.

// Chat lines recorded through PlayerHistory and RecordStore, written by a
// flush every `flushEvery` lines as the loop would, `rounds` rounds of
// `linesPerRound` lines; the median rate, lines per second.
struct ChatRecording {
  double linesPerSecond = 0;
  uint64_t lines = 0;     // recorded over all rounds
  bool complete = false;  // every line is in gs_chat, no flush failed
};
ChatRecording measureChatRecording(int rounds, int linesPerRound, int flushEvery);

// What ".seen NAME" and ".history NAME" read: PlayerHistory::find (with
// aliases) and lastChat(NAME, 20), timed together for `lookups` names drawn
// at random, in tables of `players` players (three to a details text) and
// `chatRows` chat lines, one in ten of them the same player's.
struct HistoryReads {
  double medianMs = 0;
  double p99Ms = 0;
  double maxMs = 0;
  double buildSeconds = 0;  // filling the tables, one transaction
  bool complete = false;    // every lookup found its player and 20 lines
};
HistoryReads measureHistoryReads(int64_t players, int64_t chatRows, size_t lookups);

// Position updates handled per second by two in-process sessions, one
// with the moderation and one without (as --no-moderation), each round
// queuing `batch` on-foot updates of one known player on a loopback socket
// and timing how long the session takes to empty the queue; medians of
// `rounds` rounds taken in turn.
struct ModerationOverhead {
  double withPerSecond = 0;
  double withoutPerSecond = 0;
  bool complete = false;
};
ModerationOverhead measureModerationOverhead(int rounds, int batch);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_MODERATION_BENCH_H_
