#include "panel/hashing_pool.h"

#include <malloc.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>

#include "platform/thread_name.h"

namespace gsadmin {

HashingPool::HashingPool() {
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  for (size_t i = 0; i < kThreads; ++i)
    threads_.emplace_back([this]() {
      nameThisThread("panel-hash");
      serve();
    });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

HashingPool::~HashingPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    urgent_.clear();
    waiting_.clear();
  }
  wake_.notify_all();
  finished_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

HashingPool::Outcome HashingPool::run(std::function<bool()> work, bool urgent,
                                      std::chrono::milliseconds wait) {
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopping_ || (!urgent && waiting_.size() >= kMaxWaiting)) return Outcome::kNotRun;
  (urgent ? urgent_ : waiting_).push_back(job);
  wake_.notify_one();
  bool done = finished_.wait_for(lock, wait,
                                 [&]() { return job->state == Job::State::kDone || stopping_; });
  if (done && job->state == Job::State::kDone) {
    return job->result ? Outcome::kTrue : Outcome::kFalse;
  }
  return withdraw(job) || job->state == Job::State::kWaiting ? Outcome::kNotRun : Outcome::kTooLate;
}

size_t HashingPool::waiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  return urgent_.size() + waiting_.size();
}

bool HashingPool::withdraw(const std::shared_ptr<Job>& job) {
  for (std::deque<std::shared_ptr<Job>>* queue : {&urgent_, &waiting_}) {
    auto found = std::find(queue->begin(), queue->end(), job);
    if (found != queue->end()) {
      queue->erase(found);
      return true;
    }
  }
  return false;
}

void HashingPool::serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this]() { return stopping_ || !urgent_.empty() || !waiting_.empty(); });
    if (stopping_) return;
    std::deque<std::shared_ptr<Job>>& queue = urgent_.empty() ? waiting_ : urgent_;
    std::shared_ptr<Job> job = std::move(queue.front());
    queue.pop_front();
    job->state = Job::State::kRunning;
    lock.unlock();
    bool result = job->work();
    // A hashing's memory is freed into this thread's arena, which would
    // keep it; hand it back to the system. Under AddressSanitizer the
    // memory is the sanitizer's, and glibc's trim there raced its own arena
    // bookkeeping at a thread's exit.
#ifndef __SANITIZE_ADDRESS__
    malloc_trim(0);
#endif
    lock.lock();
    job->result = result;
    job->state = Job::State::kDone;
    finished_.notify_all();
  }
}

}  // namespace gsadmin
