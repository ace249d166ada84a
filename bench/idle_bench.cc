#include "idle_bench.h"

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "live_client.h"
#include "platform/udp_socket.h"
#include "support/proc_stats.h"

namespace gsadmin::bench {
namespace {

// Forks a child that waits for a datagram that never comes, 10 ms at a time,
// as the client's loop does. The caller kills it; it also dies with the
// caller.
pid_t startBarePollLoop() {
  pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::unique_ptr<UdpSocket> socket = UdpSocket::bindTo(address);
  if (!socket) _exit(1);
  uint8_t buffer[4097];
  for (;;) {
    socket->waitReadable(10);
    socket->receive(buffer, sizeof(buffer));
  }
}

}  // namespace

IdleResult measureIdleCost(int seconds) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kKeepAliveEvery = std::chrono::seconds(5);
  IdleResult result;
  LiveClient client(std::string(kCountingScript), false);
  if (!client.connect({{1, "Ann", 0, true}, {2, "Bob", 0, true}, {3, "Cy", 0, true}})) {
    return result;
  }
  pid_t pid = client.process().pid();
  pid_t bare = startBarePollLoop();
  if (bare < 0) return result;
  std::optional<double> before = testing::cpuSeconds(pid);
  std::optional<double> onCpuBefore = testing::onCpuSeconds(pid);
  std::optional<double> bareBefore = testing::onCpuSeconds(bare);
  std::optional<uint64_t> switchesBefore = testing::contextSwitches(pid);
  uint64_t keepAlivesBefore = client.keepAlivesSent();
  Clock::time_point start = Clock::now();
  Clock::time_point end = start + std::chrono::seconds(seconds);
  bool answered = true;
  for (Clock::time_point next = start + kKeepAliveEvery; next < end; next += kKeepAliveEvery) {
    std::this_thread::sleep_until(next);
    answered = client.sync(1000) && answered;
  }
  std::this_thread::sleep_until(end);
  std::optional<double> after = testing::cpuSeconds(pid);
  std::optional<double> onCpuAfter = testing::onCpuSeconds(pid);
  std::optional<double> bareAfter = testing::onCpuSeconds(bare);
  std::optional<uint64_t> switchesAfter = testing::contextSwitches(pid);
  kill(bare, SIGKILL);
  waitpid(bare, nullptr, 0);
  if (!before || !after || !onCpuBefore || !onCpuAfter || !bareBefore || !bareAfter ||
      !switchesBefore || !switchesAfter) {
    return result;
  }

  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.cpuSeconds = *after - *before;
  result.percentOfCore = 100.0 * result.cpuSeconds / result.seconds;
  result.onCpuSeconds = *onCpuAfter - *onCpuBefore;
  result.bareLoopOnCpuSeconds = *bareAfter - *bareBefore;
  result.wakeups = *switchesAfter - *switchesBefore;
  result.keepAlives = client.keepAlivesSent() - keepAlivesBefore;
  result.stayedConnected = answered && client.logins() == 1;
  result.complete = true;
  return result;
}

}  // namespace gsadmin::bench
