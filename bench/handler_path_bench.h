#ifndef GSADMIN_BENCH_HANDLER_PATH_BENCH_H_
#define GSADMIN_BENCH_HANDLER_PATH_BENCH_H_

#include <cstdint>
#include <string>

namespace gsadmin::bench {

// The instructions the client spends on one event through a script's Lua
// handler, counted by callgrind, so that two builds compare exactly on a
// busy machine. The workload: an in-process session (in-memory transport,
// connected, player 1 known, moderation on its SQLite file) whose one script
// has one handler that counts, handed datagrams one at a time, each followed
// by a poll as the loop does. Kinds:
//   "position"  on-foot position updates -> onPlayerPositionChange
//   "chat"      public chat lines        -> onPlayerChat
//   "word"      public "!score" lines, a word no one has -> onPlayerChat
constexpr const char* kFeedKinds[] = {"position", "chat", "word"};
// Position updates as a drain takes them: each batch of 1000 queued on a
// loopback socket first, outside the count, then taken off it by polls
// until it is empty, so that what a pass costs is shared as in a drain.
constexpr const char* kQueuedFeedKind = "position-queued";
// Chat lines again with the process's console (to /dev/null) as text
// ("chat-text") or as JSON ("chat-json"): what --log-format=json costs.
constexpr const char* kLogFeedKinds[] = {"chat-text", "chat-json"};

// The child's side, for --handler-feed=KIND:N: after 1000 datagrams of warm
// up, hands over N more in batches, the batches (and only they) inside the
// function callgrind is told to count (feedHandlerBatch). Prints
// "handled=H" for the N; 0 when the handler saw every one, else 1.
int runHandlerFeed(const std::string& feed);

// Runs `bench` (a gsadmin_bench with --handler-feed) under callgrind on
// `events` events of `kind` and reads the instructions counted.
struct InstructionCount {
  bool ran = false;  // callgrind ran and every event was handled
  uint64_t instructions = 0;
  uint64_t handled = 0;
  std::string failure;  // why not, when it did not run
  double perEvent() const;
};
InstructionCount countHandlerPath(const std::string& bench, const std::string& kind, int events);

}  // namespace gsadmin::bench

#endif  // GSADMIN_BENCH_HANDLER_PATH_BENCH_H_
