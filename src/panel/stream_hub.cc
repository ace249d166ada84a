#include "panel/stream_hub.h"

#include <pthread.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

#include "panel/stream_text.h"
#include "platform/thread_name.h"

namespace gsadmin {
namespace {

// The epoll key of the change signal; streams are numbered from 1.
constexpr uint64_t kSignalKey = 0;
// Changes that follow each other closer than this go out together: each
// send to a stream costs its reader a wakeup, and the client the work of
// it, so a busy console is sent in batches (a lone line at once).
constexpr std::chrono::milliseconds kSendGap{25};
// What a stream's reader sends is read and dropped, this much at a time.
constexpr size_t kDiscardBytes = 16 * 1024;

}  // namespace

StreamHub::StreamHub(ConsoleRing& ring, SnapshotBoard& board, ChangeSignal& signal,
                     std::function<bool(const std::string&)> loggedIn)
    : ring_(ring),
      board_(board),
      signal_(signal),
      loggedIn_(std::move(loggedIn)),
      keepAlive_(std::make_shared<const std::string>(chunkOf(kKeepAliveText))),
      end_(std::make_shared<const std::string>(kEndChunk)) {}

StreamHub::~StreamHub() {
  stop();
  if (epoll_ >= 0) ::close(epoll_);
}

bool StreamHub::start(std::string* error) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kSignalKey;
  if (epoll_ < 0 || signal_.fd() < 0 ||
      epoll_ctl(epoll_, EPOLL_CTL_ADD, signal_.fd(), &event) != 0) {
    *error = std::string("cannot watch the event streams: ") + std::strerror(errno);
    return false;
  }
  // As the servers' threads: a stop or reload must reach the loop's thread.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  thread_ = std::thread([this] {
    nameThisThread("panel-streams");
    run();
  });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return true;
}

void StreamHub::adopt(std::unique_ptr<Connection> connection, std::string token,
                      std::unique_ptr<StreamLimits::Place> place) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopped_ || !thread_.joinable()) return;  // closed as it goes
  Stream stream;
  stream.connection = std::move(connection);
  stream.token = std::move(token);
  stream.place = std::move(place);
  arrivals_.push_back(std::move(stream));
  signal_.listen(true);
  signal_.notify();
}

void StreamHub::tick(uint64_t nowMs) {
  if (!sentSinceTick_ && nowMs < dueMs_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  lastTickMs_ = nowMs;
  if (nowMs >= dueMs_) endLoggedOut();
  std::vector<uint64_t> failed;
  for (auto& [id, stream] : streams_) {
    // What went out since the last tick went at the latest now: a stream is
    // never taken for quiet sooner than it is.
    if (!stream.sentSinceTick && nowMs - stream.quietSinceMs >= kKeepAliveMs) {
      ++counts_.keepAlives;
      if (!queue(stream, keepAlive_) ||
          (!stream.watchingOut && flush(id, stream) == Flushed::kFailed)) {
        failed.push_back(id);
      }
    }
    if (stream.sentSinceTick) stream.quietSinceMs = nowMs;
    stream.sentSinceTick = false;
  }
  for (uint64_t id : failed) close(id);
  sentSinceTick_ = false;
  dueMs_ = nextDueMs();
}

void StreamHub::stop() {
  signal_.stop();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = true;
  arrivals_.clear();
  std::vector<uint64_t> ids;
  for (const auto& [id, stream] : streams_) ids.push_back(id);
  for (uint64_t id : ids) end(id);
}

StreamHub::Counts StreamHub::counts() {
  std::lock_guard<std::mutex> lock(mutex_);
  Counts counts = counts_;
  counts.open = streams_.size();
  return counts;
}

void StreamHub::run() {
  using SteadyClock = std::chrono::steady_clock;
  std::array<epoll_event, 64> events;
  bool changed = false;  // rung, not yet sent
  SteadyClock::time_point sendAt = SteadyClock::now();
  for (;;) {
    int timeout = -1;  // nothing changed: no timer at all
    if (changed) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(sendAt - SteadyClock::now());
      timeout = static_cast<int>(std::max<int64_t>(left.count(), 0));
    }
    int ready = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), timeout);
    std::lock_guard<std::mutex> lock(mutex_);
    if (signal_.stopped()) return;
    for (int i = 0; i < ready; ++i) {
      const epoll_event& event = events[static_cast<size_t>(i)];
      if (event.data.u64 == kSignalKey) {
        changed = signal_.clear() || changed;
      } else {
        service(event.data.u64, event.events);
      }
    }
    SteadyClock::time_point now = SteadyClock::now();
    // A new stream is served at once; changes at most once a kSendGap.
    if ((changed && now >= sendAt) || !arrivals_.empty()) {
      advance();
      admitArrivals();
      endLoggedOut();
      changed = false;
      sendAt = now + kSendGap;
    }
  }
}

void StreamHub::advance() {
  uint64_t last = ring_.lastSeq();
  // With no stream open, only a new stream's backlog is wanted.
  if (streams_.empty() && last > lineSeq_ + kBacklogLines) lineSeq_ = last - kBacklogLines;
  std::string batch;
  for (ConsoleEntry& entry : ring_.since(lineSeq_, ConsoleRing::kCapacity)) {
    std::string text = consoleEventText(entry);
    ++counts_.linesEncoded;
    batch += text;
    recent_.emplace_back(entry.seq, std::move(text));
    lineSeq_ = entry.seq;
  }
  while (recent_.size() > kBacklogLines) recent_.pop_front();
  // Snapshots published for the counters alone send nothing. The server
  // goes with the players of the same snapshot, so the two never disagree.
  std::shared_ptr<const Snapshot> latest = board_.latest();
  if (!lastPlayers_ || (latest != lastPlayers_ && (latest->players != lastPlayers_->players ||
                                                   !(latest->server == lastPlayers_->server)))) {
    playersText_ = serverEventText(*latest) + playersEventText(*latest);
    ++counts_.playersEncoded;
    if (lastPlayers_) batch += playersText_;
  }
  lastPlayers_ = latest;
  if (!batch.empty() && !streams_.empty()) {
    fanOut(std::make_shared<const std::string>(chunkOf(batch)));
  }
}

void StreamHub::admitArrivals() {
  if (arrivals_.empty()) return;
  std::string backlog;
  uint64_t from = lineSeq_ > kBacklogLines ? lineSeq_ - kBacklogLines : 0;
  for (const auto& [seq, text] : recent_) {
    if (seq > from) backlog += text;
  }
  backlog += playersText_;
  auto chunk = std::make_shared<const std::string>(chunkOf(backlog));
  for (Stream& arrival : arrivals_) {
    uint64_t id = nextId_++;
    Stream& stream = streams_.emplace(id, std::move(arrival)).first->second;
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP;
    event.data.u64 = id;
    stream.quietSinceMs = lastTickMs_;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, stream.connection->fd(), &event) != 0 ||
        !queue(stream, chunk) || flush(id, stream) == Flushed::kFailed) {
      close(id);
    }
  }
  arrivals_.clear();
}

void StreamHub::service(uint64_t id, uint32_t events) {
  auto found = streams_.find(id);
  if (found == streams_.end()) return;  // closed since the wait returned
  Stream& stream = found->second;
  if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
    Connection::Progress read = stream.connection->readAvailable(kDiscardBytes);
    stream.connection->pending().clear();
    if (read == Connection::Progress::kClosed || read == Connection::Progress::kFailed) {
      return close(id);
    }
  }
  if (!stream.queue.empty() && flush(id, stream) == Flushed::kFailed) close(id);
}

bool StreamHub::queue(Stream& stream, const std::shared_ptr<const std::string>& chunk) {
  if (stream.queued + chunk->size() > kMaxQueuedBytes && chunk != end_) {
    ++counts_.slowClosed;
    return false;
  }
  stream.queue.push_back(chunk);
  stream.queued += chunk->size();
  stream.sentSinceTick = true;
  sentSinceTick_ = true;
  return true;
}

StreamHub::Flushed StreamHub::flush(uint64_t id, Stream& stream) {
  while (!stream.queue.empty()) {
    const std::string& front = *stream.queue.front();
    size_t written = 0;
    Connection::Progress progress = stream.connection->writeSome(
        front.data() + stream.offset, front.size() - stream.offset, &written);
    stream.offset += written;
    stream.queued -= written;
    if (progress == Connection::Progress::kFailed) return Flushed::kFailed;
    if (progress != Connection::Progress::kDone) {
      if (!stream.watchingOut) watch(id, stream, true);
      return Flushed::kWaiting;
    }
    stream.queue.pop_front();
    stream.offset = 0;
  }
  if (stream.watchingOut) watch(id, stream, false);
  return Flushed::kDone;
}

void StreamHub::fanOut(const std::shared_ptr<const std::string>& chunk) {
  std::vector<uint64_t> failed;
  for (auto& [id, stream] : streams_) {
    if (!queue(stream, chunk) || (!stream.watchingOut && flush(id, stream) == Flushed::kFailed)) {
      failed.push_back(id);
    }
  }
  for (uint64_t id : failed) close(id);
}

void StreamHub::endLoggedOut() {
  std::vector<uint64_t> ended;
  for (const auto& [id, stream] : streams_) {
    if (!loggedIn_(stream.token)) ended.push_back(id);
  }
  for (uint64_t id : ended) end(id);
}

void StreamHub::end(uint64_t id) {
  Stream& stream = streams_.at(id);
  // One try: a reader that takes nothing more loses only the last chunk.
  if (!stream.watchingOut) {
    queue(stream, end_);
    flush(id, stream);
  }
  close(id);
}

void StreamHub::watch(uint64_t id, Stream& stream, bool out) {
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP | (out ? EPOLLOUT : 0u);
  event.data.u64 = id;
  epoll_ctl(epoll_, EPOLL_CTL_MOD, stream.connection->fd(), &event);
  stream.watchingOut = out;
}

void StreamHub::close(uint64_t id) {
  // Closing the socket takes it out of the epoll set too.
  streams_.erase(id);
  if (streams_.empty() && arrivals_.empty()) signal_.listen(false);
}

uint64_t StreamHub::nextDueMs() const {
  uint64_t due = UINT64_MAX;
  for (const auto& [id, stream] : streams_) {
    due = std::min(due, stream.quietSinceMs + kKeepAliveMs);
  }
  return due;
}

}  // namespace gsadmin
