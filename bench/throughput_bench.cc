#include "throughput_bench.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "live_client.h"
#include "platform/udp_socket.h"
#include "sim/server_messages.h"
#include "support/proc_stats.h"
#include "support/session_harness.h"

namespace gsadmin::bench {
namespace {

using Clock = std::chrono::steady_clock;

// The same queue size the session asks for.
constexpr int kQueueBytes = 16 * 1024 * 1024;
constexpr uint8_t kPlayer = 1;

std::vector<Datagram> positionBatch(int batch) {
  std::vector<Datagram> datagrams;
  for (int i = 0; i < batch; ++i) {
    float x = static_cast<float>(i % 1000);
    datagrams.push_back(testing::positionUpdate(kPlayer, 0, 100.0f, x, -x, 10.0f));
  }
  return datagrams;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The median of the rounds' ratios, so that a busy moment weighs on one
// round's both figures rather than on one of the medians.
double medianRatio(const std::vector<double>& numerators, const std::vector<double>& denominators) {
  std::vector<double> ratios;
  for (size_t i = 0; i < numerators.size() && i < denominators.size(); ++i) {
    if (denominators[i] > 0) ratios.push_back(numerators[i] / denominators[i]);
  }
  return median(ratios);
}

double seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// The calling thread's time on a CPU, in the kernel too: unlike the clock,
// it does not grow while other programs have the CPU.
double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// One drain's rates: by the clock, and by the thread's time on a CPU.
struct Drain {
  double perSecond = 0;
  double perCpuSecond = 0;
};

// Times `drain` (which returns how many it took); zero rates when it took
// fewer than `expected`.
Drain timeDrain(size_t expected, const std::function<size_t()>& drain) {
  double cpuStart = threadCpuSeconds();
  Clock::time_point start = Clock::now();
  size_t received = drain();
  Clock::time_point end = Clock::now();
  double cpu = threadCpuSeconds() - cpuStart;
  if (received != expected) return {};
  return {static_cast<double>(received) / seconds(start, end),
          cpu > 0 ? static_cast<double>(received) / cpu : 0};
}

uint16_t localPort(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof(address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

// The raw loop's receives a call: as many as the session's batch.
constexpr unsigned kRawBatch = 64;
constexpr size_t kRawBuffer = 4097;

// A socket set up like the session's, with a peer of its own, for the plain
// receive loop: one recv a datagram, or recvmmsg of up to kRawBatch a call.
class RawReceiver {
 public:
  explicit RawReceiver(bool batched) : batched_(batched) {
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(peer_.port());
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socket_ = UdpSocket::connectTo(server);
    if (!socket_) return;
    socket_->setReceiveBufferSize(kQueueBytes);
    peer_.setClient(socket_->localAddress());
    prepareBatch();
  }

  bool ready() const { return socket_ != nullptr; }
  uint64_t drops() const { return testing::udpDrops(localPort(socket_->descriptor())).value_or(0); }

  // Queues the batch, then times the receive loop until the queue is empty,
  // doing nothing with what it takes. Zero when not all of it arrived.
  Drain drainRate(const std::vector<Datagram>& batch) {
    for (const Datagram& datagram : batch) peer_.send(datagram);
    return timeDrain(batch.size(), [this] { return batched_ ? drainBatched() : drainSingly(); });
  }

 private:
  size_t drainSingly() {
    uint8_t buffer[kRawBuffer];
    size_t received = 0;
    while (socket_->receive(buffer, sizeof(buffer)).kind == ReceiveResult::Kind::kDatagram) {
      ++received;
    }
    return received;
  }

  size_t drainBatched() {
    size_t received = 0;
    int n;
    while ((n = ::recvmmsg(socket_->descriptor(), messages_.data(), kRawBatch,
                           MSG_DONTWAIT | MSG_TRUNC, nullptr)) > 0) {
      received += static_cast<size_t>(n);
    }
    return received;
  }

  void prepareBatch() {
    for (unsigned i = 0; i < kRawBatch; ++i) {
      vectors_[i] = {buffers_[i].data(), kRawBuffer};
      messages_[i] = {};
      messages_[i].msg_hdr.msg_iov = &vectors_[i];
      messages_[i].msg_hdr.msg_iovlen = 1;
    }
  }

  bool batched_;
  testing::LoopbackPeer peer_;
  std::unique_ptr<UdpSocket> socket_;
  std::vector<std::array<uint8_t, kRawBuffer>> buffers_ =
      std::vector<std::array<uint8_t, kRawBuffer>>(kRawBatch);
  std::array<iovec, kRawBatch> vectors_{};
  std::array<mmsghdr, kRawBatch> messages_{};
};

// Queues the batch for the session, then polls until its queue is empty.
Drain sessionDrainRate(testing::SessionHarness& harness, const std::vector<Datagram>& batch) {
  AdminSession& session = harness.session();
  for (const Datagram& datagram : batch) harness.peer().send(datagram);
  return timeDrain(batch.size(), [&] {
    while (session.socket()->waitReadable(0)) session.poll();
    return batch.size();
  });
}

// The rates of a list of drains, by the clock or by on-CPU time.
std::vector<double> ratesOf(const std::vector<Drain>& drains, bool byCpu) {
  std::vector<double> rates;
  for (const Drain& drain : drains) rates.push_back(byCpu ? drain.perCpuSecond : drain.perSecond);
  return rates;
}

// The chat text the script sent last that starts with `prefix`, without it.
std::optional<std::string> sentText(testing::SessionHarness& harness, const std::string& prefix) {
  std::optional<std::string> found;
  for (const Datagram& datagram : harness.sent()) {
    if (datagram.size() < 3 || datagram[0] != 0x03 || datagram[1] != 0x03) continue;
    std::string text(datagram.begin() + 2, datagram.end() - 1);
    if (text.rfind(prefix, 0) == 0) found = text.substr(prefix.size());
  }
  return found;
}

// The position handler is switched on and off by admin lines, so one
// session serves both cases and the rounds can alternate.
const char kSwitchedHandlerScript[] =
    "handled = 0\n"
    "function onPosition(id) handled = handled + 1 end\n"
    "function onAdmin(text)\n"
    "  if text == '!on' then addEventHandler('onPlayerPositionChange', 'onPosition') end\n"
    "  if text == '!off' then removeEventHandler('onPlayerPositionChange', 'onPosition') end\n"
    "  if text == '!count' then sendChat('handled=' .. handled) end\n"
    "end\n"
    "addEventHandler('onAdminChat', 'onAdmin')\n";

}  // namespace

DrainRates measureDrainRates(int rounds, int batchSize) {
  std::vector<Datagram> batch = positionBatch(batchSize);
  DrainRates result;
  RawReceiver raw(false);
  RawReceiver rawBatched(true);
  testing::SessionHarness harness(std::string(kSwitchedHandlerScript), "Admin", "pw",
                                  testing::Transport::kLoopback);
  if (!raw.ready() || !rawBatched.ready() || !harness.started()) return result;
  harness.connect(testing::ServerRecord(), {{kPlayer, "Bob", 0, true}});
  harness.deliver(testing::playerDetails(kPlayer, "details"));
  harness.sent();

  // Alternating, so that whatever else the machine does weighs on all three.
  std::vector<Drain> raws, rawBatches, bares, luas;
  for (int round = 0; round < rounds; ++round) {
    raws.push_back(raw.drainRate(batch));
    rawBatches.push_back(rawBatched.drainRate(batch));
    bares.push_back(sessionDrainRate(harness, batch));
    harness.deliver(testing::chatLine(0, 3, "!on"));
    luas.push_back(sessionDrainRate(harness, batch));
    harness.deliver(testing::chatLine(0, 3, "!off"));
  }
  harness.deliver(testing::chatLine(0, 3, "!count"));
  std::optional<std::string> handled = sentText(harness, "handled=");

  std::vector<double> rawRates = ratesOf(raws, false);
  std::vector<double> rawBatchedRates = ratesOf(rawBatches, false);
  std::vector<double> bareRates = ratesOf(bares, false);
  std::vector<double> luaRates = ratesOf(luas, false);
  result.noHandlerCpuRatio = medianRatio(ratesOf(bares, true), ratesOf(rawBatches, true));
  result.luaHandlerCpuRatio = medianRatio(ratesOf(luas, true), ratesOf(rawBatches, true));
  result.rawPerSecond = median(rawRates);
  result.rawBatchedPerSecond = median(rawBatchedRates);
  result.noHandlerRatio = medianRatio(bareRates, rawBatchedRates);
  result.luaHandlerRatio = medianRatio(luaRates, rawBatchedRates);
  result.noHandlerPerSecond = median(bareRates);
  result.luaHandlerPerSecond = median(luaRates);
  result.sent = static_cast<uint64_t>(rounds) * batch.size();
  result.handled = handled ? std::strtoull(handled->c_str(), nullptr, 10) : 0;
  result.drops = raw.drops() + rawBatched.drops() +
                 testing::udpDrops(localPort(harness.session().socket()->descriptor())).value_or(0);
  bool allRaw = std::count(rawRates.begin(), rawRates.end(), 0.0) == 0 &&
                std::count(rawBatchedRates.begin(), rawBatchedRates.end(), 0.0) == 0;
  result.complete = allRaw && handled.has_value();
  return result;
}

std::vector<ResultRow> drainRows(const DrainRates& drain) {
  auto cpuRatios = [](const DrainRates& rates) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.2f / %.2f of recvmmsg", rates.noHandlerCpuRatio,
                  rates.luaHandlerCpuRatio);
    return std::string(buffer);
  };
  auto rate = [](double perSecond) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.0f/s", perSecond);
    return std::string(buffer);
  };
  auto ofRecvmmsg = [](double ratio) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), " (%.2f of recvmmsg)", ratio);
    return std::string(buffer);
  };
  bool noLoss = drain.complete && drain.handled == drain.sent && drain.drops == 0;
  return {
      {"(a) raw recv loop, same socket setup", rate(drain.rawPerSecond), "", {}},
      {"(a) raw recvmmsg loop, 64 a call (machine limit)", rate(drain.rawBatchedPerSecond), "", {}},
      {"(a) position updates, no Lua handler",
       rate(drain.noHandlerPerSecond) + ofRecvmmsg(drain.noHandlerRatio), ">= 0.90 of recvmmsg",
       drain.complete && drain.noHandlerRatio >= 0.9},
      {"(a) position updates, Lua handler",
       rate(drain.luaHandlerPerSecond) + ofRecvmmsg(drain.luaHandlerRatio), ">= 0.90 of recvmmsg",
       drain.complete && drain.luaHandlerRatio >= 0.9},
      {"(a) same by on-CPU time, no handler / Lua handler", cpuRatios(drain), "", {}},
      {"(a) Lua handler: handled of queued, kernel drops",
       std::to_string(drain.handled) + " of " + std::to_string(drain.sent) + ", " +
           std::to_string(drain.drops),
       "no loss", noLoss},
  };
}

SustainedRun measureSustained(double rate, double durationSeconds) {
  SustainedRun result;
  result.rate = rate;
  LiveClient client(std::string(kCountingScript), false);
  if (!client.connect({{kPlayer, "Bob", 0, true}})) return result;
  std::vector<Datagram> batch = positionBatch(1000);
  auto total = static_cast<uint64_t>(rate * durationSeconds);
  double cpuBefore = testing::cpuSeconds(client.process().pid()).value_or(0);

  // Sends whatever is due by now, so the stream keeps its rate on average
  // whatever the scheduler does to the sender.
  Clock::time_point start = Clock::now();
  uint64_t sent = 0;
  while (sent < total) {
    auto due = static_cast<uint64_t>(rate * seconds(start, Clock::now()));
    if (due > sent)
      sent += client.peer().sendMany(batch, sent % batch.size(), std::min(due, total) - sent);
  }
  result.seconds = seconds(start, Clock::now());
  bool synced = client.sync();
  result.clientCpuSeconds = testing::cpuSeconds(client.process().pid()).value_or(0) - cpuBefore;
  std::optional<uint64_t> handled = client.handledCount();
  result.sent = sent;
  result.handled = handled.value_or(0);
  result.drops = testing::udpDrops(client.clientPort()).value_or(0);
  result.complete = synced && handled.has_value();
  return result;
}

}  // namespace gsadmin::bench
