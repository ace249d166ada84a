// PostgresDatabase: the answer to a statement its caller stopped waiting
// for, read by service() without blocking the loop.

#include "storage/libpq_api.h"
#include "storage/postgres_database.h"
#include "storage/postgres_reading.h"

namespace gsadmin {
namespace {

// Rows of an answer nobody waits for any more are not kept.
constexpr const char* kGivenUp = "given up";

}  // namespace

void PostgresDatabase::stopWaiting(const Reading& reading, StatementResult* result) {
  state_ = State::kAwaiting;
  awaitedCopying_ = reading.copyingOut;
  awaitedRollback_ = false;
  awaitDeadlineMs_.reset();
  failStatement("the database did not answer within " + std::to_string(patienceMs_) + " ms",
                result);
}

void PostgresDatabase::readAwaited(uint64_t nowMs) {
  if (!awaitDeadlineMs_) awaitDeadlineMs_ = nowMs + silenceLimitMs_;
  if (!readArrived()) return;
  Reading reading;
  reading.stop = kGivenUp;
  reading.copyingOut = awaitedCopying_;
  StatementResult ignored;
  for (;;) {
    if (reading.copyingOut && !dropCopyData(&reading)) {
      loseConnection(connectionError());
      return;
    }
    awaitedCopying_ = reading.copyingOut;
    if (awaitedCopying_ || pq_->isBusy(connection_.get())) break;
    Result next(pq_->getResult(connection_.get()));
    if (!next) {
      if (!awaitedAnswered()) break;
      continue;
    }
    take(next.get(), &reading, &ignored);
    if (state_ != State::kAwaiting) return;
  }
  if (state_ == State::kAwaiting && nowMs >= *awaitDeadlineMs_) {
    cancel(&reading);
    loseConnection(silentFor(silenceLimitMs_));
  }
}

bool PostgresDatabase::awaitedAnswered() {
  PGTransactionStatusType status = pq_->transactionStatus(connection_.get());
  bool open = status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
  if (open && !awaitedRollback_) {
    // Its caller was told it failed, so nothing of its transaction stays.
    awaitedRollback_ = true;
    if (pq_->sendQuery(connection_.get(), "ROLLBACK")) return true;
    loseConnection(connectionError());
    return false;
  }
  // A cancel request still on its way could stop the next statement.
  if (cancels_.waitUntilSent(std::chrono::milliseconds(0))) {
    state_ = State::kReady;
    awaitDeadlineMs_.reset();
  }
  return false;
}

}  // namespace gsadmin
