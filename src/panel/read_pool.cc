#include "panel/read_pool.h"

#include <pthread.h>

#include <algorithm>
#include <csignal>
#include <exception>

#include "moderation/record_store.h"
#include "platform/thread_name.h"

namespace gsadmin {
namespace {

constexpr char kTooLong[] = R"({"error":"the read took too long"})";
constexpr char kUnreachable[] = R"({"error":"the database cannot be reached"})";
constexpr char kFailed[] = R"({"error":"internal error"})";
// Why a read's statements were stopped.
constexpr char kStopping[] = "the panel stops";
constexpr char kAbandoned[] = "nobody waits for the read";
constexpr char kOverBudget[] = "the read took too long";

}  // namespace

struct ReadPool::Job {
  enum class State { kQueued, kRunning, kDone };

  explicit Job(ReadWork work) : work(std::move(work)) {}

  ReadWork work;
  State state = State::kQueued;  // under the pool's mutex
  ReadAnswer answer;             // set with kDone
  std::atomic<bool> abandoned{false};
};

ReadPool::ReadPool(Clock& clock, std::vector<std::unique_ptr<Database>> connections,
                   std::chrono::milliseconds budget)
    : clock_(clock), budget_(budget), connections_(std::move(connections)) {
  // The threads block every signal, as the HTTP servers' do: a stop or a
  // reload must reach the loop's thread.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  for (const std::unique_ptr<Database>& connection : connections_) {
    threads_.emplace_back([this, database = connection.get()]() {
      nameThisThread("panel-read");
      serve(*database);
    });
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

ReadPool::~ReadPool() {
  stop();
}

std::optional<ReadAnswer> ReadPool::run(ReadWork work, std::chrono::milliseconds wait) {
  // Declared before the lock, so that what the work holds is freed after
  // the lock is let go.
  auto job = std::make_shared<Job>(std::move(work));
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopping_ || threads_.empty()) return std::nullopt;
  queue_.push_back(job);
  queued_.notify_one();
  done_.wait_for(lock, wait,
                 [this, &job]() { return job->state == Job::State::kDone || stopping_; });
  if (job->state == Job::State::kDone) return std::move(job->answer);
  // The caller gives up: work not yet taken never runs, work running stops.
  job->abandoned = true;
  auto queued = std::find(queue_.begin(), queue_.end(), job);
  if (queued != queue_.end()) queue_.erase(queued);
  return std::nullopt;
}

void ReadPool::serve(Database& database) {
  // The store never writes here: it was not opened, so it queues nothing.
  RecordStore store(database);
  PlayerHistory history(store);
  Sanctions sanctions(store);
  ReadTools tools{database, history, sanctions};
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this]() { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    std::shared_ptr<Job> job = std::move(queue_.front());
    queue_.pop_front();
    job->state = Job::State::kRunning;
    lock.unlock();
    ReadAnswer answer = runJob(*job, tools);
    // What the work holds (its place among the reads) is freed before its
    // caller hears: the caller's next read must find the place free.
    job->work = nullptr;
    lock.lock();
    job->answer = std::move(answer);
    job->state = Job::State::kDone;
    done_.notify_all();
  }
}

ReadAnswer ReadPool::runJob(Job& job, ReadTools& tools) {
  Database& database = tools.database;
  if (!database.connected() && !database.awaitConnection(kConnectWaitMs)) {
    return {503, kUnreachable};
  }
  uint64_t startMs = clock_.nowMs();
  auto budgetMs = static_cast<uint64_t>(budget_.count());
  const char* stopped = nullptr;
  database.setInterruptCheck([&]() -> const char* {
    if (stopped != nullptr) return stopped;
    if (stopping_) {
      stopped = kStopping;
    } else if (job.abandoned) {
      stopped = kAbandoned;
    } else if (clock_.nowMs() - startMs >= budgetMs) {
      stopped = kOverBudget;
    }
    return stopped;
  });
  ReadAnswer answer;
  try {
    answer = job.work(tools);
  } catch (const std::exception&) {
    answer = {500, kFailed};
  }
  database.setInterruptCheck(nullptr);
  // The moderation's readers find nothing on a failed statement: a read
  // cut short must not pass for an empty one.
  if (stopped != nullptr) return {503, kTooLong};
  return answer;
}

void ReadPool::stop() {
  std::deque<std::shared_ptr<Job>> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    dropped.swap(queue_);
  }
  queued_.notify_all();
  done_.notify_all();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

}  // namespace gsadmin
