// PostgresDatabase: making, keeping and making again its connection.

#include <poll.h>

#include <algorithm>

#include "storage/database_uri.h"
#include "storage/libpq_api.h"
#include "storage/pg_values.h"
#include "storage/postgres_database.h"
#include "storage/postgres_reading.h"

namespace gsadmin {
namespace {

// The server's notices (NOTICE, WARNING) would go to standard error, in
// the middle of the console's output; a statement's outcome is its result.
void ignoreNotice(void*, const char*) {}

}  // namespace

PostgresDatabase::PostgresDatabase(std::string uri, std::optional<std::string> password,
                                   size_t maxResultBytes, uint64_t silenceLimitMs)
    : uri_(std::move(uri)),
      password_(std::move(password)),
      description_(describeDatabaseUri(uri_)),
      maxResultBytes_(maxResultBytes),
      silenceLimitMs_(silenceLimitMs),
      pq_(libPq()) {}

PostgresDatabase::~PostgresDatabase() = default;

// A connection exists only once libpq was loaded.
void PostgresDatabase::ConnectionCloser::operator()(pg_conn* connection) const {
  libPq()->finish(connection);
}

void PostgresDatabase::startConnecting() {
  if (pq_ == nullptr) {
    loseConnection(libPqError());
    return;
  }
  // Keywords before "dbname" are defaults the URI may override; later ones
  // override what it says: the client's texts are UTF-8, and its password
  // is the one given.
  std::string userTimeout = std::to_string(kTcpUserTimeoutMs);
  std::vector<const char*> keywords = {"fallback_application_name", "tcp_user_timeout", "dbname",
                                       "client_encoding"};
  std::vector<const char*> values = {"gsadmin", userTimeout.c_str(), uri_.c_str(), "UTF8"};
  if (password_) {
    keywords.push_back("password");
    values.push_back(password_->c_str());
  }
  keywords.push_back(nullptr);
  values.push_back(nullptr);
  connection_.reset(pq_->connectStartParams(keywords.data(), values.data(), 1));
  if (!connection_) {
    loseConnection("out of memory");
    return;
  }
  if (pq_->status(connection_.get()) == CONNECTION_BAD) {
    loseConnection(connectionError());
    return;
  }
  pq_->setNoticeProcessor(connection_.get(), ignoreNotice, nullptr);
  state_ = State::kConnecting;
  connectWantsRead_ = false;  // a new connection first waits to write
  advanceConnecting(0);
}

void PostgresDatabase::advanceConnecting(int waitMs) {
  int fd = pq_->socket(connection_.get());
  if (fd >= 0) {
    pollfd entry{fd, static_cast<short>(connectWantsRead_ ? POLLIN : POLLOUT), 0};
    // PQconnectPoll may be called only once the socket is ready.
    if (poll(&entry, 1, waitMs) <= 0) return;
  }
  switch (pq_->connectPoll(connection_.get())) {
    case PGRES_POLLING_READING:
      connectWantsRead_ = true;
      break;
    case PGRES_POLLING_WRITING:
      connectWantsRead_ = false;
      break;
    case PGRES_POLLING_OK:
      connectionMade();
      break;
    default:
      loseConnection(connectionError());
      break;
  }
}

void PostgresDatabase::connectionMade() {
  pq_->setnonblocking(connection_.get(), 1);
  state_ = State::kReady;
  retryDelayMs_ = kFirstRetryMs;
  connectDeadlineMs_.reset();
  // Notices sent while there was no connection were missed.
  announceConnection_ = true;
  lossReported_ = false;
  for (const std::string& setting : settings_) {
    if (!command(setting)) {
      if (connection_) loseConnection("the database refused: " + setting);
      return;
    }
  }
  listenToChannels();
}

void PostgresDatabase::listenToChannels() {
  listenAgain_ = false;
  for (const std::string& channel : channels_) {
    char* name = pq_->escapeIdentifier(connection_.get(), channel.data(), channel.size());
    if (name == nullptr) continue;  // only when memory ran out
    std::string sql = std::string("LISTEN ") + name;
    pq_->freemem(name);
    if (!command(sql)) return;  // a lost connection is dropped already
  }
}

void PostgresDatabase::loseConnection(const std::string& reason) {
  connection_.reset();
  state_ = State::kIdle;
  scheduleRetry_ = true;
  retryAtMs_.reset();
  connectDeadlineMs_.reset();
  if (!lossReported_) {
    unreportedLoss_ = reason;
    lossReported_ = true;
  }
}

bool PostgresDatabase::readArrived() {
  if (!pq_->consumeInput(connection_.get()) || pq_->status(connection_.get()) == CONNECTION_BAD) {
    loseConnection(connectionError());
    return false;
  }
  takeNotices();
  return true;
}

void PostgresDatabase::takeNotices() {
  while (PGnotify* notify = pq_->notifies(connection_.get())) {
    if (notices_.size() < kMaxHeldNotices) {
      notices_.push_back(
          {notify->relname ? notify->relname : "", notify->extra ? notify->extra : ""});
    } else {
      noticesMissed_ = true;
    }
    pq_->freemem(notify);
  }
}

std::string PostgresDatabase::connectionError() const {
  return firstLine(connection_ ? pq_->errorMessage(connection_.get()) : nullptr,
                   "the connection to the database was lost");
}

void PostgresDatabase::listen(std::string_view channel) {
  if (std::find(channels_.begin(), channels_.end(), channel) != channels_.end()) return;
  channels_.emplace_back(channel);
  // Listened to once connected, or once the answer awaited is read.
  if (state_ == State::kAwaiting) listenAgain_ = true;
  if (state_ != State::kReady) return;
  char* name = pq_->escapeIdentifier(connection_.get(), channel.data(), channel.size());
  if (name == nullptr) return;
  std::string sql = std::string("LISTEN ") + name;
  pq_->freemem(name);
  command(sql);
}

void PostgresDatabase::watchOn(Poller& poller) {
  int fd = connection_ ? pq_->socket(connection_.get()) : -1;
  if (fd < 0) return;
  if (state_ == State::kConnecting) {
    poller.watchFor(fd, connectWantsRead_ ? POLLIN : POLLOUT);
  } else {
    poller.watch(fd);
  }
}

std::optional<uint64_t> PostgresDatabase::nextWorkMs() const {
  // What a statement read or lost meanwhile is handed over at once.
  if (unreportedLoss_ || !notices_.empty() || noticesMissed_ || announceConnection_) return 0;
  switch (state_) {
    case State::kIdle:
      return scheduleRetry_ || !retryAtMs_ ? 0 : *retryAtMs_;
    case State::kConnecting:
      return connectDeadlineMs_.value_or(0);
    case State::kAwaiting:
      return awaitDeadlineMs_.value_or(0);
    case State::kReady:
      break;
  }
  return std::nullopt;
}

DatabaseEvents PostgresDatabase::service(uint64_t nowMs) {
  switch (state_) {
    case State::kIdle:
      if (scheduleRetry_) {
        retryAtMs_ = nowMs + retryDelayMs_;
        retryDelayMs_ = std::min(retryDelayMs_ * 2, kLongestRetryMs);
        scheduleRetry_ = false;
      }
      if (retryAtMs_ && nowMs < *retryAtMs_) break;
      retryAtMs_.reset();
      startConnecting();
      if (state_ == State::kConnecting) connectDeadlineMs_ = nowMs + kConnectTimeoutMs;
      break;
    case State::kConnecting:
      if (!connectDeadlineMs_) connectDeadlineMs_ = nowMs + kConnectTimeoutMs;
      advanceConnecting(0);
      if (state_ == State::kConnecting && nowMs >= *connectDeadlineMs_) {
        loseConnection("timed out connecting to the database");
      }
      break;
    case State::kReady:
      readArrived();
      break;
    case State::kAwaiting:
      readAwaited(nowMs);
      if (state_ == State::kReady && listenAgain_) listenToChannels();
      break;
  }
  DatabaseEvents events;
  events.notices.assign(std::make_move_iterator(notices_.begin()),
                        std::make_move_iterator(notices_.end()));
  notices_.clear();
  events.lost = std::move(unreportedLoss_);
  unreportedLoss_.reset();
  events.connected = (announceConnection_ && state_ == State::kReady) || noticesMissed_;
  announceConnection_ = false;
  noticesMissed_ = false;
  return events;
}

std::unique_ptr<Database> PostgresDatabase::readOnlyConnection(uint64_t statementTimeoutMs) const {
  auto reader =
      std::make_unique<PostgresDatabase>(uri_, password_, maxResultBytes_, silenceLimitMs_);
  reader->settings_ = {"SET default_transaction_read_only = on",
                       "SET statement_timeout = " + std::to_string(statementTimeoutMs)};
  return reader;
}

bool PostgresDatabase::awaitConnection(uint64_t timeoutMs) {
  if (state_ == State::kReady) return true;
  uint64_t deadline = steadyMs() + timeoutMs;
  if (state_ == State::kIdle) startConnecting();
  while (state_ == State::kConnecting) {
    uint64_t now = steadyMs();
    if (now >= deadline) {
      loseConnection("no connection to the database within " +
                     std::to_string((timeoutMs + 999) / 1000) + " s");
      break;
    }
    advanceConnecting(static_cast<int>(std::min<uint64_t>(deadline - now, 100)));
  }
  if (state_ != State::kReady) return false;
  announceConnection_ = false;  // the first connection: nothing was missed
  return true;
}

}  // namespace gsadmin
