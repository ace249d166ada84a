#include "panel/worker_pool.h"

#include "platform/thread_name.h"

namespace gsadmin {

WorkerPool::WorkerPool(size_t threads, Serve serve, const char* name) : serve_(std::move(serve)) {
  for (size_t i = 0; i < threads; ++i)
    threads_.emplace_back([this, name] {
      nameThisThread(name);
      work();
    });
}

WorkerPool::~WorkerPool() {
  stop();
}

void WorkerPool::add(std::unique_ptr<Connection> connection) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;  // closed as it goes
    queue_.push_back(std::move(connection));
  }
  ready_.notify_one();
}

void WorkerPool::stop() {
  std::deque<std::unique_ptr<Connection>> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    dropped.swap(queue_);
  }
  ready_.notify_all();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

void WorkerPool::work() {
  for (;;) {
    std::unique_ptr<Connection> connection;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      connection = std::move(queue_.front());
      queue_.pop_front();
    }
    serve_(std::move(connection));
  }
}

}  // namespace gsadmin
