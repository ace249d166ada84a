#include "live_client.h"

#include <arpa/inet.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>

#include "support/proc_stats.h"

namespace gsadmin::bench {

const char kCountingScript[] =
    "handled = 0\n"
    "function onPosition(id) handled = handled + 1 end\n"
    "addEventHandler('onPlayerPositionChange', 'onPosition')\n"
    "function onAdmin(text)\n"
    "  if text == '!count' then sendChat('handled=' .. handled) end\n"
    "end\n"
    "addEventHandler('onAdminChat', 'onAdmin')\n";

namespace {

std::vector<std::string> argumentsFor(const testing::LoopbackPeer& peer,
                                      std::vector<std::string> options) {
  for (std::string word : {"127.0.0.1", "", "Admin", "pw"}) options.push_back(word);
  options[options.size() - 3] = std::to_string(peer.port());
  return options;
}

std::optional<std::string> outputFor(bool readOutput) {
  if (readOutput) return std::nullopt;
  return std::string("/dev/null");
}

}  // namespace

LiveClient::LiveClient(const std::optional<std::string>& script, bool readOutput,
                       const std::vector<std::string>& options,
                       const std::optional<std::string>& directory, const std::string& program)
    : process_(argumentsFor(peer_, options), script, program, outputFor(readOutput), directory) {}

uint16_t LiveClient::clientPort() const {
  return peer_.client() ? ntohs(peer_.client()->sin_port) : 0;
}

bool LiveClient::connect(const std::vector<ListedPlayer>& players,
                         const std::string& detailsPrefix) {
  for (int i = 0; i < 50 && logins_ == 0; ++i) take(peer_.receive(100));
  if (logins_ == 0) return false;
  testing::ServerRecord record;
  record.maxPlayers = 255;
  peer_.send(testing::connectionAccepted(record, players));
  for (const ListedPlayer& player : players) {
    peer_.send(testing::playerDetails(
        player.id, detailsPrefix.empty() ? "details" : detailsPrefix + player.name));
  }
  return sync();
}

bool LiveClient::sync(int timeoutMs) {
  peer_.send(testing::keepAliveRequest());
  ++keepAlivesSent_;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (keepAliveAnswers_ < keepAlivesSent_) {
    if (std::chrono::steady_clock::now() >= end) return false;
    take(peer_.receive(100));
  }
  return true;
}

std::optional<uint64_t> LiveClient::handledCount(int timeoutMs) {
  peer_.send(testing::chatLine(0, 3, "!count"));
  std::optional<std::string> count = nextChat("handled=", timeoutMs);
  if (!count) return std::nullopt;
  return std::strtoull(count->c_str(), nullptr, 10);
}

std::optional<std::string> LiveClient::nextChat(const std::string& prefix, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    while (!chats_.empty()) {
      std::string text = chats_.front();
      chats_.pop_front();
      if (text.rfind(prefix, 0) == 0) return text.substr(prefix.size());
    }
    if (std::chrono::steady_clock::now() >= end) return std::nullopt;
    take(peer_.receive(100));
  }
}

void LiveClient::requestKeepAlive() {
  peer_.send(testing::keepAliveRequest());
  ++keepAlivesSent_;
}

bool LiveClient::keepAlivesAnswered() {
  drain();
  return keepAliveAnswers_ >= keepAlivesSent_;
}

void LiveClient::drain() {
  while (take(peer_.receive(0))) {
  }
}

bool LiveClient::take(const std::optional<Datagram>& datagram) {
  if (!datagram || datagram->empty()) return false;
  const Datagram& d = *datagram;
  if (d[0] == 0x0D) {
    ++logins_;
  } else if (d == Datagram{0x35, 0x00}) {
    ++keepAliveAnswers_;
  } else if (d.size() >= 3 && d[0] == 0x03 && d[1] == 0x03) {
    chats_.emplace_back(d.begin() + 2, d.end() - 1);
  }
  return true;
}

DrainRound drainRound(LiveClient& client, const std::vector<Datagram>& batch) {
  pid_t pid = client.process().pid();
  client.process().kill(SIGSTOP);
  for (const Datagram& datagram : batch) client.peer().send(datagram);
  // The loop runs on the process's first thread, whose schedstat this is.
  std::optional<double> cpuBefore = testing::onCpuSeconds(pid);
  auto start = std::chrono::steady_clock::now();
  client.process().kill(SIGCONT);
  if (!client.sync() || !cpuBefore) return {};
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double cpu = testing::onCpuSeconds(pid).value_or(0) - *cpuBefore;
  auto count = static_cast<double>(batch.size());
  return {count / wall, cpu > 0 ? count / cpu : 0};
}

}  // namespace gsadmin::bench
