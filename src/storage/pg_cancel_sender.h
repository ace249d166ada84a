#ifndef GSADMIN_STORAGE_PG_CANCEL_SENDER_H_
#define GSADMIN_STORAGE_PG_CANCEL_SENDER_H_

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

struct pg_cancel;

namespace gsadmin {

// Sends PostgreSQL cancel requests, each on a thread of its own. A request
// opens a connection of its own to the server, which takes as long as the
// network makes it (a TCP connection's user timeout bounds it), so the
// thread that runs the statement never waits for it: it goes on reading the
// statement's results and watching the time.
class PgCancelSender {
 public:
  PgCancelSender() = default;
  // Waits for the requests still being sent.
  ~PgCancelSender();
  PgCancelSender(const PgCancelSender&) = delete;
  PgCancelSender& operator=(const PgCancelSender&) = delete;

  // Starts sending `request` (from PQgetCancel; taken over and freed once
  // sent). Null is ignored.
  void send(pg_cancel* request);
  // Waits at most `timeout` until no request is being sent; true when none
  // is. A request still on its way could stop the next statement instead
  // of the one it was meant for.
  bool waitUntilSent(std::chrono::milliseconds timeout);

 private:
  // Joins the threads whose request was sent.
  void joinFinished();

  std::mutex mutex_;
  std::condition_variable sent_;
  size_t sending_ = 0;
  std::vector<std::thread::id> finished_;  // threads done, not yet joined
  std::vector<std::thread> threads_;
};

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_PG_CANCEL_SENDER_H_
