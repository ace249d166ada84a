#ifndef GSADMIN_PANEL_READ_POOL_H_
#define GSADMIN_PANEL_READ_POOL_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "moderation/player_history.h"
#include "moderation/sanctions.h"
#include "platform/clock.h"
#include "storage/database.h"

namespace gsadmin {

// What a read works with on its reader thread: a read-only connection of
// that thread's own and the moderation's readers over it. Nothing here is
// the session's: the loop's model is read through the snapshots.
struct ReadTools {
  Database& database;
  PlayerHistory& history;
  Sanctions& sanctions;
};

// A read's answer: its status and text, JSON unless said otherwise.
struct ReadAnswer {
  ReadAnswer() = default;
  ReadAnswer(int status, std::string body) : status(status), body(std::move(body)) {}

  int status = 200;
  std::string body;
  std::string contentType = "application/json";
  // A file to save rather than show (Content-Disposition); empty for none.
  std::string attachment;
  // An export cut short: where the rest begins (X-Next-Before).
  std::optional<int64_t> nextBefore;
};

using ReadWork = std::function<ReadAnswer(ReadTools&)>;

// The panel's reads of the database, off the session's loop: one thread
// for each read-only connection it is given, taking work in order. Each
// read's statements are stopped once the read has run for `budget` on the
// clock, or when its caller has stopped waiting; a read that was stopped
// answers 503 whatever its work made of the failure. Work is dropped
// unrun when its caller stops waiting before a thread takes it. The pool
// does not bound its queue: its callers do (ReadLimits).
class ReadPool {
 public:
  // Waited at most for a shared database's connection before a read.
  static constexpr uint64_t kConnectWaitMs = 1000;

  // Starts the threads. The clock must outlive the pool and be safe to
  // read from any thread.
  ReadPool(Clock& clock, std::vector<std::unique_ptr<Database>> connections,
           std::chrono::milliseconds budget);
  ~ReadPool();  // stop()
  ReadPool(const ReadPool&) = delete;
  ReadPool& operator=(const ReadPool&) = delete;

  // Runs `work` on a reader thread and waits for its answer, at most
  // `wait` (real time). Nothing when none came by then (the work is
  // dropped if it has not started, stopped if it has) or the pool is
  // stopped. When an answer comes, `work` was destroyed, and what it held
  // freed, before it. From any thread.
  std::optional<ReadAnswer> run(ReadWork work, std::chrono::milliseconds wait);

  // Drops the work waiting, stops the reads running and joins the
  // threads; run() answers nothing from now on. Idempotent.
  void stop();

 private:
  struct Job;

  // A reader thread's life: takes work until stopped.
  void serve(Database& database);
  // Runs one job on `tools`, within its budget.
  ReadAnswer runJob(Job& job, ReadTools& tools);

  Clock& clock_;
  std::chrono::milliseconds budget_;
  std::vector<std::unique_ptr<Database>> connections_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable queued_;  // work came, or the pool stops
  std::condition_variable done_;    // a job was answered, or the pool stops
  std::deque<std::shared_ptr<Job>> queue_;
  std::atomic<bool> stopping_{false};
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_READ_POOL_H_
