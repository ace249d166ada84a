#include "throughput_bench.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
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

double seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

uint16_t localPort(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof(address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

// A socket set up like the session's, with a peer of its own, for the plain
// receive loop.
class RawReceiver {
 public:
  RawReceiver() {
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(peer_.port());
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socket_ = UdpSocket::connectTo(server);
    if (!socket_) return;
    socket_->setReceiveBufferSize(kQueueBytes);
    peer_.setClient(socket_->localAddress());
  }

  bool ready() const { return socket_ != nullptr; }
  uint64_t drops() const { return testing::udpDrops(localPort(socket_->descriptor())).value_or(0); }

  // Queues the batch, then times a recv loop until the queue is empty. Zero
  // when not all of it arrived.
  double drainRate(const std::vector<Datagram>& batch) {
    for (const Datagram& datagram : batch) peer_.send(datagram);
    uint8_t buffer[4097];
    Clock::time_point start = Clock::now();
    size_t received = 0;
    while (socket_->receive(buffer, sizeof(buffer)).kind == ReceiveResult::Kind::kDatagram) {
      ++received;
    }
    Clock::time_point end = Clock::now();
    return received == batch.size() ? static_cast<double>(received) / seconds(start, end) : 0;
  }

 private:
  testing::LoopbackPeer peer_;
  std::unique_ptr<UdpSocket> socket_;
};

// Queues the batch for the session, then polls until its queue is empty.
double sessionDrainRate(testing::SessionHarness& harness, const std::vector<Datagram>& batch) {
  AdminSession& session = harness.session();
  for (const Datagram& datagram : batch) harness.peer().send(datagram);
  Clock::time_point start = Clock::now();
  while (session.socket()->waitReadable(0)) session.poll();
  return static_cast<double>(batch.size()) / seconds(start, Clock::now());
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
  RawReceiver raw;
  testing::SessionHarness harness(std::string(kSwitchedHandlerScript), "Admin", "pw",
                                  testing::Transport::kLoopback);
  if (!raw.ready() || !harness.started()) return result;
  harness.connect(testing::ServerRecord(), {{kPlayer, "Bob", 0, true}});
  harness.deliver(testing::playerDetails(kPlayer, "details"));
  harness.sent();

  // Alternating, so that whatever else the machine does weighs on all three.
  std::vector<double> rawRates, bareRates, luaRates;
  for (int round = 0; round < rounds; ++round) {
    rawRates.push_back(raw.drainRate(batch));
    bareRates.push_back(sessionDrainRate(harness, batch));
    harness.deliver(testing::chatLine(0, 3, "!on"));
    luaRates.push_back(sessionDrainRate(harness, batch));
    harness.deliver(testing::chatLine(0, 3, "!off"));
  }
  harness.deliver(testing::chatLine(0, 3, "!count"));
  std::optional<std::string> handled = sentText(harness, "handled=");

  result.rawPerSecond = median(rawRates);
  result.noHandlerPerSecond = median(bareRates);
  result.luaHandlerPerSecond = median(luaRates);
  result.sent = static_cast<uint64_t>(rounds) * batch.size();
  result.handled = handled ? std::strtoull(handled->c_str(), nullptr, 10) : 0;
  result.drops = raw.drops() +
                 testing::udpDrops(localPort(harness.session().socket()->descriptor())).value_or(0);
  bool allRaw = std::count(rawRates.begin(), rawRates.end(), 0.0) == 0;
  result.complete = allRaw && handled.has_value();
  return result;
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
    for (; sent < std::min(due, total); ++sent) client.peer().send(batch[sent % batch.size()]);
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
