#ifndef GSADMIN_STORAGE_POSTGRES_DATABASE_H_
#define GSADMIN_STORAGE_POSTGRES_DATABASE_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/database.h"
#include "storage/pg_cancel_sender.h"

struct pg_conn;
struct pg_result;

namespace gsadmin {

struct LibPq;

// A database on a PostgreSQL server, shared with other clients, over one
// libpq connection. Connecting never blocks the loop (but for
// awaitConnection): the session's service() calls drive it, and a lost
// connection is made again with a back-off from 1 s doubling to 30 s. While
// not connected every statement fails at once with `unavailable` set.
// Channels given to listen() are listened to again on every connection.
class PostgresDatabase : public Database {
 public:
  static constexpr uint64_t kFirstRetryMs = 1000;
  static constexpr uint64_t kLongestRetryMs = 30000;
  // A connection attempt that takes longer is given up.
  static constexpr uint64_t kConnectTimeoutMs = 10000;
  // A statement during which nothing arrives for this long beyond its
  // budget (setStatementBudgetMs), or for this long after it was cancelled,
  // is cancelled and its connection dropped: the server or the network is
  // gone.
  static constexpr uint64_t kSilenceLimitMs = 5000;
  // Data a TCP connection's peer has not acknowledged for this long ends
  // the connection, and a cancel request's attempt to connect, where the
  // network is gone (unless the URI sets tcp_user_timeout).
  static constexpr uint64_t kTcpUserTimeoutMs = 10000;
  // Notices held for service() at most; more are dropped and the next
  // service() says to read everything again.
  static constexpr size_t kMaxHeldNotices = 10000;

  // `uri` is a libpq connection URI without a password; `password`, when
  // given, is passed to libpq beside it. Nothing connects yet.
  PostgresDatabase(std::string uri, std::optional<std::string> password,
                   size_t maxResultBytes = kMaxResultBytes,
                   uint64_t silenceLimitMs = kSilenceLimitMs);
  ~PostgresDatabase() override;
  PostgresDatabase(const PostgresDatabase&) = delete;
  PostgresDatabase& operator=(const PostgresDatabase&) = delete;

  StatementResult run(std::string_view sql, const std::vector<DbValue>& bindings) override;
  bool rollBackOpenTransaction() override;
  bool inTransaction() const override;
  bool isOpen() const override { return connected(); }
  // Asked before a statement starts, every few milliseconds while it runs,
  // at each row, and when it ends.
  // A stop cancels the statement on the server, and the connection stays.
  void setInterruptCheck(InterruptCheck check) override { interruptCheck_ = std::move(check); }
  void setStatementBudgetMs(uint64_t budgetMs) override { budgetMs_ = budgetMs; }
  // A statement silent this long fails at once with `unavailable` set,
  // and its answer is read by service() meanwhile: a transaction it leaves
  // open is rolled back, and the connection is ready again once both are
  // done, or dropped after the silence limit. Until then every statement
  // fails as while not connected. 0 (the default) waits the whole limit.
  void setPatienceMs(uint64_t patienceMs) override { patienceMs_ = patienceMs; }
  SqlDialect dialect() const override { return SqlDialect::kPostgres; }
  // The URI, without any password.
  const std::string& description() const override { return description_; }

  void listen(std::string_view channel) override;
  void watchOn(Poller& poller) override;
  std::optional<uint64_t> nextWorkMs() const override;
  DatabaseEvents service(uint64_t nowMs) override;
  bool connected() const override { return state_ == State::kReady; }
  // Connects, waiting at most `timeoutMs` (real time); on failure the loss
  // is reported by the next service(), which also schedules the retry.
  bool awaitConnection(uint64_t timeoutMs) override;
  // The same server, URI and password, in read-only transactions whose
  // statements the server ends after `statementTimeoutMs`.
  std::unique_ptr<Database> readOnlyConnection(uint64_t statementTimeoutMs) const override;

 private:
  // kAwaiting: the answer to a statement its caller stopped waiting for is
  // still being read.
  enum class State { kIdle, kConnecting, kReady, kAwaiting };
  struct ConnectionCloser {
    void operator()(pg_conn* connection) const;
  };
  struct ResultFreer {
    void operator()(pg_result* result) const;
  };
  using Result = std::unique_ptr<pg_result, ResultFreer>;

  // Connecting (postgres_connection.cc).
  void startConnecting();
  // Advances the attempt when its socket is ready (or `wait` ms pass).
  void advanceConnecting(int waitMs);
  void connectionMade();
  // Drops the connection (or the attempt) and schedules the next attempt;
  // `reason` is reported by the next service() unless this loss was
  // reported already.
  void loseConnection(const std::string& reason);
  // LISTENs to every channel given to listen().
  void listenToChannels();
  // Reads what arrived without waiting; false when the connection is gone.
  bool readArrived();
  void takeNotices();

  // Statements (postgres_database.cc).
  struct Reading;
  // Sends one statement and reads its result into `result`; with
  // `interruptible` the interrupt check may stop it.
  void execute(const std::string& sql, const std::vector<DbValue>& bindings, bool interruptible,
               StatementResult* result);
  // Waits for and reads every result of the statement sent, in slices of a
  // few milliseconds, so that a stop is seen and a silent server noticed.
  void collect(bool interruptible, StatementResult* result);
  void take(pg_result* next, Reading* reading, StatementResult* result);
  void readRows(pg_result* rows, Reading* reading, StatementResult* result);
  // Reads and drops a COPY's data; false when the connection failed.
  bool dropCopyData(Reading* reading);
  // Asks the server (once, on a thread) to stop the statement; its results
  // are still read to their end.
  void cancel(Reading* reading);
  // How long the statement may hear nothing before the server is taken
  // for gone.
  uint64_t silenceAllowedMs(const Reading& reading) const;
  // Why a server silent for `ms` is taken for gone.
  static std::string silentFor(uint64_t ms);
  // Stops waiting for the statement being read: its answer is read by
  // service() (postgres_awaiting.cc).
  void stopWaiting(const Reading& reading, StatementResult* result);
  // Reads what arrived of the answer given up on, without waiting.
  void readAwaited(uint64_t nowMs);
  // The answer given up on was read: a transaction it left open is rolled
  // back first. True when there is more to read (the ROLLBACK's answer).
  bool awaitedAnswered();
  void finish(const Reading& reading, bool interruptible, StatementResult* result);
  // The statement failed because the connection did: it is gone.
  void failStatement(const std::string& reason, StatementResult* result);
  // Runs `sql` (no parameters, not interruptible); false when it failed.
  bool command(const std::string& sql);
  const char* stopReason();
  std::string connectionError() const;

  std::string uri_;
  std::optional<std::string> password_;
  std::string description_;
  size_t maxResultBytes_;
  uint64_t silenceLimitMs_;
  // libpq, loaded when the database was made; null when it cannot be, and
  // then every attempt to connect fails with the reason.
  const LibPq* pq_;
  uint64_t budgetMs_ = 0;
  uint64_t patienceMs_ = 0;
  // While kAwaiting: whether a COPY's data is being dropped, whether the
  // ROLLBACK was sent, and when the connection is dropped unless all is
  // read (set by the first service()).
  bool awaitedCopying_ = false;
  bool awaitedRollback_ = false;
  std::optional<uint64_t> awaitDeadlineMs_;
  bool listenAgain_ = false;  // listen() was called meanwhile
  InterruptCheck interruptCheck_;
  PgCancelSender cancels_;

  std::unique_ptr<pg_conn, ConnectionCloser> connection_;
  State state_ = State::kIdle;
  // Whether the attempt in progress waits to read (else to write).
  bool connectWantsRead_ = false;
  // The retry's time on the session clock; set by the next service() when
  // a failure left scheduleRetry_.
  std::optional<uint64_t> retryAtMs_;
  bool scheduleRetry_ = false;
  uint64_t retryDelayMs_ = kFirstRetryMs;
  std::optional<uint64_t> connectDeadlineMs_;
  uint64_t lastServiceMs_ = 0;

  // The loss service() reports next, and whether this loss was reported.
  std::optional<std::string> unreportedLoss_;
  bool lossReported_ = false;
  bool announceConnection_ = false;
  bool noticesMissed_ = false;

  std::vector<std::string> channels_;
  // Run on every new connection before anything else (SET ...); a
  // connection where one fails is dropped.
  std::vector<std::string> settings_;
  std::deque<DatabaseNotice> notices_;
};

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_POSTGRES_DATABASE_H_
