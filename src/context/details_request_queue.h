#ifndef GSADMIN_CONTEXT_DETAILS_REQUEST_QUEUE_H_
#define GSADMIN_CONTEXT_DETAILS_REQUEST_QUEUE_H_

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace gsadmin {

// The player-details requests that joins asked for and that wait for their
// moment: the server needs a little while after a join before it can
// answer one. The queue knows nothing of clocks or sockets; its owner
// passes the time in and sends what is due. One entry per join, dropped
// when due, so it holds at most the joins of one delay.
class DetailsRequestQueue {
 public:
  // One request for `id`, due at `dueMs`; a second join of the same id
  // gets one of its own.
  void schedule(uint8_t id, uint64_t dueMs);
  // The player `id` left: its requests not yet taken are never due.
  void cancel(uint8_t id);
  // When the earliest request is due (perhaps one cancelled since), or
  // empty when none waits.
  std::optional<uint64_t> nextDueMs() const;
  // Takes every request due at `nowMs` (dueMs <= nowMs) off the queue and
  // returns the ids of those not cancelled, in order of due time, then of
  // scheduling.
  std::vector<uint8_t> takeDue(uint64_t nowMs);

  size_t size() const { return pending_.size(); }

 private:
  struct Request {
    uint8_t id;
    uint64_t generation;  // the id's generation when it was scheduled
  };
  std::multimap<uint64_t, Request> pending_;  // by due time; ties keep their order
  // Bumped by each cancel: a request of an older generation is dropped.
  std::array<uint64_t, 256> generation_{};
};

}  // namespace gsadmin

#endif  // GSADMIN_CONTEXT_DETAILS_REQUEST_QUEUE_H_
