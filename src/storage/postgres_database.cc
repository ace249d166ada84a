// PostgresDatabase: running one statement and reading its result.

#include "storage/postgres_database.h"

#include <poll.h>

#include <chrono>
#include <cstdlib>

#include "storage/libpq_api.h"
#include "storage/pg_sql.h"
#include "storage/pg_values.h"
#include "storage/postgres_reading.h"
#include "storage/sql_sandbox.h"

namespace gsadmin {
namespace {

constexpr const char* kNotConnected = "not connected to the database";
// How long one wait for the server lasts before the interrupt check is asked.
constexpr int kSliceMs = 20;
// The server takes at most this many parameters.
constexpr size_t kMaxPlaceholders = 65535;

// The rows a command changed: only INSERT, UPDATE, DELETE and MERGE count,
// as only statements that change rows do in a file database.
int64_t changedRows(const LibPq& pq, PGresult* result) {
  std::string_view status = pq.cmdStatus(result);
  for (std::string_view verb : {"INSERT ", "UPDATE ", "DELETE ", "MERGE "}) {
    if (status.starts_with(verb)) return std::strtoll(pq.cmdTuples(result), nullptr, 10);
  }
  return 0;
}

}  // namespace

// A result exists only once libpq was loaded.
void PostgresDatabase::ResultFreer::operator()(pg_result* result) const {
  libPq()->clear(result);
}

StatementResult PostgresDatabase::run(std::string_view sql, const std::vector<DbValue>& bindings) {
  StatementResult result;
  if (state_ != State::kReady) {
    result.error = kNotConnected;
    result.unavailable = true;
    return result;
  }
  if (sql.size() > static_cast<size_t>(SqlLimits::kSqlBytes)) {
    result.error = "statement too long";
    return result;
  }
  PgStatementText text = translatePlaceholders(sql);
  if (text.secondStatement) {
    result.error = kOneStatementError;
    return result;
  }
  if (text.empty) return result;
  if (text.placeholders != bindings.size()) {
    result.error = std::to_string(bindings.size()) + " values given for " +
                   std::to_string(text.placeholders) + " placeholders";
    return result;
  }
  if (text.placeholders > kMaxPlaceholders) {
    result.error = "too many placeholders";
    return result;
  }
  // A call whose budget is used up starts nothing more.
  if (const char* reason = stopReason()) {
    result.error = reason;
    return result;
  }
  execute(text.text, bindings, true, &result);
  return result;
}

void PostgresDatabase::execute(const std::string& sql, const std::vector<DbValue>& bindings,
                               bool interruptible, StatementResult* result) {
  PgParameters parameters;
  if (std::optional<std::string> refusal = makeParameters(bindings, &parameters)) {
    result->error = std::move(refusal);
    return;
  }
  if (!pq_->sendQueryParams(connection_.get(), sql.c_str(), static_cast<int>(bindings.size()),
                            parameters.types.data(), parameters.values.data(),
                            parameters.lengths.data(), parameters.formats.data(), 0)) {
    result->error = connectionError();
    if (pq_->status(connection_.get()) == CONNECTION_BAD) {
      result->unavailable = true;
      loseConnection(*result->error);
    }
    return;
  }
  // Rows arrive one at a time, so that the cap is checked before they are
  // all held.
  pq_->setSingleRowMode(connection_.get());
  collect(interruptible, result);
}

bool PostgresDatabase::command(const std::string& sql) {
  if (state_ != State::kReady) return false;
  StatementResult result;
  if (!pq_->sendQuery(connection_.get(), sql.c_str())) {
    if (pq_->status(connection_.get()) == CONNECTION_BAD) loseConnection(connectionError());
    return false;
  }
  collect(false, &result);
  // A setting or LISTEN that goes unanswered leaves the connection unfit.
  if (state_ == State::kAwaiting) loseConnection(*result.error);
  return !result.error;
}

void PostgresDatabase::collect(bool interruptible, StatementResult* result) {
  Reading reading;
  reading.heardMs = steadyMs();
  std::optional<std::string> lost;
  while (!lost) {
    int flushed = pq_->flush(connection_.get());
    if (flushed < 0 || (reading.copyingOut && !dropCopyData(&reading))) break;
    while (flushed == 0 && !reading.copyingOut && !reading.complete &&
           !pq_->isBusy(connection_.get())) {
      Result next(pq_->getResult(connection_.get()));
      if (!next) {
        reading.complete = true;
        break;
      }
      take(next.get(), &reading, result);
      if (state_ != State::kReady) {
        failStatement(reading.failed.value_or(kNotConnected), result);
        return;
      }
    }
    if (reading.complete) {
      // The cancel request must have arrived before the next statement
      // starts, or it could stop that one instead.
      if (!reading.cancelled || cancels_.waitUntilSent(std::chrono::milliseconds(kSliceMs))) {
        finish(reading, interruptible, result);
        return;
      }
    } else {
      pollfd entry{pq_->socket(connection_.get()),
                   static_cast<short>(POLLIN | (flushed == 1 ? POLLOUT : 0)), 0};
      if (poll(&entry, 1, kSliceMs) > 0) {
        if (!pq_->consumeInput(connection_.get())) break;
        takeNotices();
        reading.heardMs = steadyMs();
      }
    }
    if (interruptible && reading.stop == nullptr) {
      reading.stop = stopReason();
      if (reading.stop != nullptr) cancel(&reading);
    }
    uint64_t silentMs = steadyMs() - reading.heardMs;
    // The caller's patience is its own: no budget is added to it.
    if (patienceMs_ > 0 && silentMs > patienceMs_) {
      stopWaiting(reading, result);
      return;
    }
    uint64_t allowedMs = silenceAllowedMs(reading);
    if (silentMs > allowedMs) {
      lost = silentFor(allowedMs);
    }
  }
  // The server may still be running it: it is asked to stop, as far as it
  // can still be reached.
  cancel(&reading);
  std::string reason = lost.value_or(connectionError());
  loseConnection(reason);
  failStatement(reason, result);
}

std::string PostgresDatabase::silentFor(uint64_t ms) {
  return "the database did not answer for " + std::to_string(ms) + " ms";
}

uint64_t PostgresDatabase::silenceAllowedMs(const Reading& reading) const {
  // A statement under a budget is stopped by it first; once cancelled, the
  // server has the whole limit again to answer.
  return reading.cancelled ? silenceLimitMs_ : silenceLimitMs_ + budgetMs_;
}

void PostgresDatabase::failStatement(const std::string& reason, StatementResult* result) {
  result->error = reason;
  result->unavailable = true;
  result->values.clear();
  result->changes = 0;
}

void PostgresDatabase::take(pg_result* next, Reading* reading, StatementResult* result) {
  ExecStatusType status = pq_->resultStatus(next);
  switch (status) {
    case PGRES_SINGLE_TUPLE:
    case PGRES_TUPLES_OK:
      if (result->columns.empty()) {
        for (int c = 0; c < pq_->nfields(next); ++c)
          result->columns.emplace_back(pq_->fname(next, c));
      }
      if (!reading->tooLarge && !reading->failed && reading->stop == nullptr) {
        readRows(next, reading, result);
      }
      break;
    case PGRES_COMMAND_OK:
      result->changes = changedRows(*pq_, next);
      break;
    case PGRES_COPY_IN:
      // No data comes from a script: the server ends the COPY with an error.
      pq_->putCopyEnd(connection_.get(), "COPY FROM STDIN is not supported");
      break;
    case PGRES_COPY_OUT:
      // Its data is read and dropped; no script can take it.
      if (!reading->failed) reading->failed = "COPY TO STDOUT is not supported";
      reading->copyingOut = true;
      cancel(reading);
      break;
    case PGRES_COPY_BOTH:
      reading->failed = "replication is not supported";
      loseConnection(*reading->failed);
      break;
    case PGRES_EMPTY_QUERY:
      break;
    default:
      if (!reading->failed) {
        const char* primary = pq_->resultErrorField(next, PG_DIAG_MESSAGE_PRIMARY);
        reading->failed = primary ? oneLine(primary, "unknown error")
                                  : firstLine(pq_->resultErrorMessage(next), "unknown error");
      }
      break;
  }
}

void PostgresDatabase::readRows(pg_result* rows, Reading* reading, StatementResult* result) {
  int columns = pq_->nfields(rows);
  for (int r = 0; r < pq_->ntuples(rows); ++r) {
    for (int c = 0; c < columns; ++c) {
      // Counted before the copy, as the text the server sent, which is
      // never shorter than the value made of it.
      size_t length = static_cast<size_t>(pq_->getlength(rows, r, c));
      reading->resultBytes += sizeof(DbValue) + length;
      DbValue value;
      if (reading->resultBytes > maxResultBytes_ || !readCell(rows, r, c, &value)) {
        reading->tooLarge = true;
        cancel(reading);
        return;
      }
      if (value.bytes.size() > static_cast<size_t>(SqlLimits::kValueBytes)) {
        reading->failed = "string or blob too big";
        cancel(reading);
        return;
      }
      result->values.push_back(std::move(value));
    }
  }
  if (interruptCheck_ && reading->stop == nullptr) {
    reading->stop = stopReason();
    if (reading->stop != nullptr) cancel(reading);
  }
}

bool PostgresDatabase::dropCopyData(Reading* reading) {
  char* data = nullptr;
  for (;;) {
    int length = pq_->getCopyData(connection_.get(), &data, 1);
    if (length > 0) {
      pq_->freemem(data);
      continue;
    }
    if (length == -1) reading->copyingOut = false;  // done: the results follow
    return length != -2;
  }
}

void PostgresDatabase::cancel(Reading* reading) {
  if (reading->cancelled || !connection_) return;
  reading->cancelled = true;
  reading->heardMs = steadyMs();
  cancels_.send(pq_->getCancel(connection_.get()));
}

void PostgresDatabase::finish(const Reading& reading, bool interruptible, StatementResult* result) {
  if (reading.stop != nullptr) {
    result->error = reading.stop;
  } else if (reading.tooLarge) {
    result->error = "result too large";
  } else if (reading.failed) {
    result->error = reading.failed;
  } else if (interruptible) {
    // A statement that ends after the budget was used up reports that.
    if (const char* late = stopReason()) result->error = late;
  }
  if (result->error) {
    result->values.clear();
    result->changes = 0;
  }
}

bool PostgresDatabase::inTransaction() const {
  if (state_ != State::kReady) return false;
  PGTransactionStatusType status = pq_->transactionStatus(connection_.get());
  return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

bool PostgresDatabase::rollBackOpenTransaction() {
  if (!inTransaction()) return false;
  command("ROLLBACK");
  return true;
}

const char* PostgresDatabase::stopReason() {
  return interruptCheck_ ? interruptCheck_() : nullptr;
}

}  // namespace gsadmin
