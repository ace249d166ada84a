#ifndef GSADMIN_PANEL_WORKER_POOL_H_
#define GSADMIN_PANEL_WORKER_POOL_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "panel/connection.h"

namespace gsadmin {

// A fixed number of threads that answer the requests of the connections
// handed to them, one at a time each, in the order handed. The queue holds
// at most one entry per connection, so the server's connection cap bounds
// it.
class WorkerPool {
 public:
  using Serve = std::function<void(std::unique_ptr<Connection>)>;

  // Starts `threads` threads named `name` (a literal), each calling `serve`
  // for one connection at a time.
  WorkerPool(size_t threads, Serve serve, const char* name = "http-worker");
  ~WorkerPool();  // stop()
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void add(std::unique_ptr<Connection> connection);
  // Closes the connections still queued and joins the threads once they
  // finished what they serve; idempotent.
  void stop();

 private:
  void work();

  Serve serve_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::unique_ptr<Connection>> queue_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_WORKER_POOL_H_
