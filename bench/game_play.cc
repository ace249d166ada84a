#include "game_play.h"

#include <algorithm>

#include "protocol/wire.h"

namespace gsadmin::bench {
namespace {

constexpr auto kLagEvery = std::chrono::milliseconds(GamePlay::kLagEveryMs);
constexpr auto kJoinEvery = std::chrono::milliseconds(GamePlay::kJoinEveryMs);
constexpr auto kBetweenEvery = std::chrono::milliseconds(10);
// A bench thread held up longer than this does not send the probes it
// missed in a burst: the schedule starts again from now.
constexpr auto kMostBehind = std::chrono::milliseconds(100);

double msBetween(PlayClock::time_point from, PlayClock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

uint64_t dueBy(double seconds, int perSecond) {
  return static_cast<uint64_t>(seconds * perSecond);
}

}  // namespace

GamePlay::GamePlay(LiveClient& client, PlayLoad load, std::vector<std::string> banned,
                   std::string tag)
    : client_(client), load_(load), banned_(std::move(banned)), tag_(std::move(tag)) {
  for (int id = 0; id < load_.players; ++id) names_.push_back(tag_ + "Pl" + std::to_string(id));
}

bool GamePlay::connect() {
  std::vector<ListedPlayer> players;
  for (int id = 0; id < load_.players; ++id) {
    players.push_back({static_cast<uint8_t>(id), names_[static_cast<size_t>(id)], 0, true});
  }
  return client_.connect(players, "key-");
}

void GamePlay::playUntil(PlayClock::time_point until, const std::function<void()>& between) {
  PlayClock::time_point now = PlayClock::now();
  if (!started_) {
    started_ = true;
    start_ = nextLag_ = nextJoin_ = now;
    visits_ = static_cast<uint64_t>(load_.players);  // LiveClient::connect sent their details
  }
  PlayClock::time_point nextBetween = now;
  while (now < until) {
    sendDue(now);
    // Waits at most a millisecond, so that what is due goes on time and
    // an answer is timed when it comes.
    std::optional<Datagram> datagram = client_.peer().receive(1);
    while (datagram) {
      take(*datagram, PlayClock::now());
      datagram = client_.peer().receive(0);
    }
    now = PlayClock::now();
    if (between && now >= nextBetween) {
      between();
      nextBetween = now + kBetweenEvery;
    }
  }
}

void GamePlay::sendDue(PlayClock::time_point now) {
  sendGame(now);
  sendProbes(now);
}

void GamePlay::sendGame(PlayClock::time_point now) {
  double seconds = std::chrono::duration<double>(now - start_).count();
  for (uint64_t due = dueBy(seconds, load_.updatesPerSecond); updatesSent_ < due; ++updatesSent_) {
    auto id = static_cast<uint8_t>(updatesSent_ % static_cast<uint64_t>(load_.players));
    float x = static_cast<float>(updatesSent_ % 1000);
    client_.peer().send(testing::positionUpdate(id, 0, 100.0f, x, -x, 10.0f));
  }
  for (uint64_t due = dueBy(seconds, load_.chatPerSecond); chatsSent_ < due; ++chatsSent_) {
    auto id = static_cast<uint8_t>(chatsSent_ % static_cast<uint64_t>(load_.players));
    client_.peer().send(
        testing::chatLine(id, 0, tag_ + " line " + std::to_string(chatsSent_) + " of the game"));
  }
  uint64_t churnsDue =
      static_cast<uint64_t>(seconds * 1000) / static_cast<uint64_t>(load_.churnEveryMs);
  while (churns_ < churnsDue) churn();
}

void GamePlay::churn() {
  auto id = static_cast<uint8_t>(churns_ % static_cast<uint64_t>(load_.players));
  ++churns_;
  std::string& name = names_[id];
  client_.peer().send(testing::playerLeft(0, id));
  name = tag_ + "Pl" + std::to_string(id) + "v" + std::to_string(churns_);
  client_.peer().send(testing::playerJoined(id, name));
  client_.peer().send(testing::playerDetails(id, "key-" + name));
  ++visits_;
}

void GamePlay::sendProbes(PlayClock::time_point now) {
  if (now >= nextLag_) {
    client_.peer().send(testing::keepAliveRequest());
    pending_.push_back({now, false, false});
    nextLag_ = now - nextLag_ > kMostBehind ? now + kLagEvery : nextLag_ + kLagEvery;
  }
  if (joinWaiting_ || now < nextJoin_) return;
  bool banned = !banned_.empty() && joinsSent_ % 2 == 0;
  std::string name = banned ? banned_[(joinsSent_ / 2) % banned_.size()]
                            : tag_ + "Free" + std::to_string(joinsSent_);
  // Another letter case: the check is by the name's key.
  if (banned) std::transform(name.begin(), name.end(), name.begin(), ::toupper);
  ++joinsSent_;
  client_.peer().send(testing::playerJoined(kProbeId, name));
  client_.peer().send(testing::keepAliveRequest());
  pending_.push_back({now, true, banned});
  joinWaiting_ = true;
  probeKicked_ = false;
  nextJoin_ = now + kJoinEvery;
}

void GamePlay::take(const Datagram& d, PlayClock::time_point now) {
  if (d.size() == 2 && d[0] == wire::kKeepAliveAnswerId) {
    answered(now);
  } else if (d.size() == 3 && d[0] == wire::kKickRequestId && d[1] == kProbeId) {
    probeKicked_ = true;
  }
}

void GamePlay::answered(PlayClock::time_point now) {
  if (pending_.empty()) return;  // an answer to a request of LiveClient's own
  Pending request = pending_.front();
  pending_.pop_front();
  TimedSample sample{request.sent, msBetween(request.sent, now)};
  if (!request.join) {
    lags_.push_back(sample);
    return;
  }
  joins_.push_back(sample);
  if (probeKicked_ != request.banned) ++wrongChecks_;
  client_.peer().send(testing::playerLeft(0, kProbeId));
  joinWaiting_ = false;
}

bool GamePlay::settle(int timeoutMs) {
  PlayClock::time_point end = PlayClock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pending_.empty() && PlayClock::now() < end) {
    if (std::optional<Datagram> datagram = client_.peer().receive(10)) {
      take(*datagram, PlayClock::now());
    }
  }
  return pending_.empty();
}

double percentileIn(const std::vector<TimedSample>& samples, PlayClock::time_point from,
                    PlayClock::time_point to, double fraction, size_t* count) {
  std::vector<double> values;
  for (const TimedSample& sample : samples) {
    if (sample.at >= from && sample.at < to) values.push_back(sample.ms);
  }
  if (count != nullptr) *count = values.size();
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

}  // namespace gsadmin::bench
