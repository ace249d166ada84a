#include "storage/pg_cancel_sender.h"

#include <algorithm>

#include "storage/libpq_api.h"

namespace gsadmin {

PgCancelSender::~PgCancelSender() {
  for (std::thread& thread : threads_) thread.join();
}

void PgCancelSender::send(pg_cancel* request) {
  if (request == nullptr) return;
  joinFinished();
  std::lock_guard<std::mutex> lock(mutex_);
  ++sending_;
  threads_.emplace_back([this, request]() {
    // Whether it arrived changes nothing here: the statement's reader
    // finds out from the server, or from its silence.
    char error[256];
    const LibPq& pq = *libPq();  // loaded: it made the request
    pq.cancel(request, error, sizeof error);
    pq.freeCancel(request);
    std::lock_guard<std::mutex> done(mutex_);
    --sending_;
    finished_.push_back(std::this_thread::get_id());
    sent_.notify_all();
  });
}

bool PgCancelSender::waitUntilSent(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return sent_.wait_for(lock, timeout, [this]() { return sending_ == 0; });
}

void PgCancelSender::joinFinished() {
  std::vector<std::thread::id> finished;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished.swap(finished_);
  }
  // A thread in `finished` has only its return left: joining it is quick.
  auto done = std::partition(threads_.begin(), threads_.end(), [&](const std::thread& thread) {
    return std::find(finished.begin(), finished.end(), thread.get_id()) == finished.end();
  });
  for (auto it = done; it != threads_.end(); ++it) it->join();
  threads_.erase(done, threads_.end());
}

}  // namespace gsadmin
