// A million mixed datagrams to the real binary: every event the traffic
// causes must reach the script, and the client's memory must stay flat.
//
// The peer keeps the client's queue short with keep-alives: after every
// window of datagrams it asks for a keep-alive answer and waits for it, so
// the kernel never has cause to drop anything and any shortfall is the
// client's.

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "gamedata/vehicle_rosters.h"
#include "sim/server_messages.h"
#include "soak/expected_events.h"
#include "support/client_process.h"
#include "support/loopback_peer.h"
#include "support/proc_stats.h"

namespace gsadmin::testing {
namespace {

constexpr uint64_t kTotalDatagrams = 1000000;
constexpr uint64_t kWindow = 1000;
constexpr uint64_t kMemoryBaselineAt = 100000;
// The database's page cache (SQLite's default, 2000 KiB) fills while the
// moderation records the run; it is bounded, so it is allowed for on top.
constexpr uint64_t kMemorySlackKiB = 1024 + 2048;
// A disconnect every this many datagrams, and the next acceptance a little
// later, with traffic in between.
constexpr uint64_t kDisconnectEvery = 50000;
constexpr uint64_t kReacceptAfter = 500;
// Ids players join under; the rest of 0..255 stays mostly unknown.
constexpr int kPlayerIds = 128;
constexpr uint8_t kAdminStatus = 3;

// Counts every event it is told about and reports the counts on the admin
// line "!report" through sendChat.
std::string countingScript() {
  std::string names;
  for (const std::string& name : ExpectedEvents::eventNames()) names += "\"" + name + "\", ";
  return "local names = {" + names +
         "}\n"
         "counts = {}\n"
         "for _, name in ipairs(names) do\n"
         "  counts[name] = 0\n"
         "  _G['count_' .. name] = function() counts[name] = counts[name] + 1 end\n"
         "  addEventHandler(name, 'count_' .. name)\n"
         "end\n"
         "quitNameMissing = 0\n"
         "function checkQuit(id)\n"
         "  if getPlayerName(id) == nil then quitNameMissing = quitNameMissing + 1 end\n"
         "end\n"
         "addEventHandler('onPlayerQuit', 'checkQuit')\n"
         "function report(text)\n"
         "  if text ~= '!report' then return end\n"
         "  local parts = {'report'}\n"
         "  for _, name in ipairs(names) do parts[#parts + 1] = name .. '=' .. counts[name] end\n"
         "  parts[#parts + 1] = 'quitNameMissing=' .. quitNameMissing\n"
         "  sendChat(table.concat(parts, ' '))\n"
         "end\n"
         "addEventHandler('onAdminChat', 'report')\n";
}

int rosterSize() {
  const Roster* roster = rosterFor(2, 1);
  return roster == nullptr ? 0 : static_cast<int>(roster->vehicles.size());
}

// The server side of the run: sends the traffic, feeds the same messages to
// the oracle, and reads what the client sends back.
class SoakPeer {
 public:
  SoakPeer()
      : client_({"127.0.0.1", std::to_string(peer_.port()), "Admin", "pw"}, countingScript(),
                ClientProcess::defaultBinary(), "/dev/null"),
        expected_(rosterSize()),
        random_(20240601) {}

  ClientProcess& client() { return client_; }
  ExpectedEvents& expected() { return expected_; }
  uint64_t sent() const { return sent_; }
  uint64_t detailsRequests() const { return detailsRequests_; }
  uint64_t keepAliveAnswers() const { return keepAliveAnswers_; }
  uint64_t logins() const { return logins_; }

  // Waits for the client's first login; false if it never comes.
  bool awaitLogin() {
    for (int i = 0; i < 50 && logins_ == 0; ++i) take(peer_.receive(100));
    return logins_ == 1;
  }

  // The port of the client's socket, learned from its datagrams.
  uint16_t clientPort() const { return ntohs(peer_.client()->sin_port); }

  void accept() {
    std::vector<ListedPlayer> listed;
    std::vector<uint8_t> ids;
    for (uint8_t id : expected_.knownIds()) {
      listed.push_back({id, nameFor(id), 0, true});
      ids.push_back(id);
    }
    if (listed.empty()) {
      for (uint8_t id = 0; id < 24; ++id) {
        listed.push_back({id, nameFor(id), 0, true});
        ids.push_back(id);
      }
    }
    ServerRecord record;
    record.maxPlayers = 255;
    send(connectionAccepted(record, listed));
    expected_.accepted(ids);
    // The server answers the details requests; sending the replies in the
    // stream keeps the order of events exactly known.
    for (uint8_t id : ids) sendDetails(id);
  }

  // One action of the mix; may send more than one datagram.
  void sendSomething() {
    if (sent_ >= nextDisconnectAt_) {
      nextDisconnectAt_ += kDisconnectEvery;
      send(disconnectReason(static_cast<uint8_t>(pick(12))));
      expected_.disconnected();
      reacceptAt_ = sent_ + kReacceptAfter;
      return;
    }
    if (reacceptAt_ != 0 && sent_ >= reacceptAt_) {
      reacceptAt_ = 0;
      accept();
      return;
    }
    int roll = pick(10000);
    if (roll < 20) return sendJoin();
    if (roll < 40) return sendQuit();
    if (roll < 140) {
      send(keepAliveRequest());
      expected_.keepAlive();
      return;
    }
    if (roll < 340) return sendDeath();
    if (roll < 840) return sendChat();
    sendPosition();
  }

  // True once a window of kWindow datagrams is complete; the caller syncs.
  bool takeSyncDue() {
    bool due = pendingSync_;
    pendingSync_ = false;
    return due;
  }

  // Asks for a keep-alive answer and reads everything the client sends until
  // it arrives. False when the client went quiet.
  bool sync() {
    send(keepAliveRequest());
    expected_.keepAlive();
    uint64_t wanted = expected_.keepAliveAnswers();
    while (keepAliveAnswers_ < wanted) {
      if (!take(peer_.receive(5000))) return false;
    }
    // A join's details request follows it by a few milliseconds, also
    // past the keep-alive answered after it.
    while (detailsRequests_ < expected_.detailsRequests()) {
      if (!take(peer_.receive(5000))) return false;
    }
    return true;
  }

  // Sends "!report" on the admin channel and returns the counts the script
  // reports, or nothing when no report comes.
  std::optional<std::map<std::string, uint64_t>> report() {
    report_.reset();
    send(chatLine(0, kAdminStatus, "!report"));
    expected_.chat(0, kAdminStatus, "!report");
    while (!report_) {
      if (!take(peer_.receive(5000))) return std::nullopt;
    }
    return report_;
  }

 private:
  int pick(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

  // A known player most of the time, any id otherwise.
  uint8_t somePlayer() {
    std::vector<uint8_t> ids = expected_.knownIds();
    if (ids.empty() || pick(10) == 0) return static_cast<uint8_t>(pick(256));
    return ids[static_cast<size_t>(pick(static_cast<int>(ids.size())))];
  }

  std::string nameFor(uint8_t id) {
    return "P" + std::to_string(id) + "_" + std::to_string(pick(100));
  }

  void send(const Datagram& datagram) {
    peer_.send(datagram);
    ++sent_;
    if (sent_ % kWindow == 0) pendingSync_ = true;
  }

  void sendDetails(uint8_t id) {
    send(playerDetails(id, "details of " + std::to_string(id)));
    expected_.details(id);
  }

  void sendJoin() {
    uint8_t id = static_cast<uint8_t>(pick(kPlayerIds));
    send(playerJoined(id, nameFor(id)));
    expected_.joined(id);
    sendDetails(id);
  }

  void sendQuit() {
    uint8_t id = somePlayer();
    static constexpr uint8_t kReasons[] = {0, 1, 2, 7, 0xFF};
    send(playerLeft(kReasons[pick(5)], id));
    expected_.left(id);
  }

  void sendDeath() {
    static constexpr uint8_t kKillers[] = {100, 255};
    uint8_t killer = pick(4) == 0 ? kKillers[pick(2)] : somePlayer();
    send(deathReport(somePlayer(), killer, static_cast<uint8_t>(pick(45))));
  }

  void sendChat() {
    int kind = pick(20);
    uint8_t sender = somePlayer();
    std::string text;
    uint8_t status = static_cast<uint8_t>(pick(2));
    if (kind < 14) {
      text = "hello " + std::to_string(sent_);
    } else if (kind < 17) {
      text = "/msg #" + std::to_string(pick(kPlayerIds)) + " psst " + std::to_string(sent_);
    } else if (kind < 19) {
      status = kAdminStatus;
      text = "admin says " + std::to_string(sent_);
    } else {
      status = kAdminStatus;
      text = "/msgr Bob: hi " + std::to_string(sent_);
    }
    send(chatLine(sender, status, text));
    expected_.chat(sender, status, text);
  }

  void sendPosition() {
    uint8_t id = somePlayer();
    int kind = pick(20);
    uint8_t state;
    if (kind < 9) {
      state = 0;
    } else if (kind < 15) {
      state = static_cast<uint8_t>(1 + pick(100));
    } else if (kind < 19) {
      state = static_cast<uint8_t>(101 + pick(100));
    } else {
      state = static_cast<uint8_t>(201 + pick(55));
    }
    float health = expected_.health(id);
    if (state != 0 || pick(5) == 0) health = static_cast<float>(pick(1000)) / 10.0f;
    float x = static_cast<float>(pick(4000)) - 2000.0f;
    send(positionUpdate(id, state, health, x, -x, 10.0f));
    expected_.position(id, state, health);
  }

  // Books one datagram from the client; false for nothing.
  bool take(const std::optional<Datagram>& datagram) {
    if (!datagram || datagram->empty()) return false;
    const Datagram& d = *datagram;
    if (d[0] == 0x0D) {
      ++logins_;
    } else if (d[0] == 0x1D && d.size() == 2) {
      ++detailsRequests_;
    } else if (d == Datagram{0x35, 0x00}) {
      ++keepAliveAnswers_;
    } else if (d.size() > 3 && d[0] == 0x03 && d[1] == 0x03) {
      std::string text(d.begin() + 2, d.end() - 1);
      if (text.rfind("report ", 0) == 0) report_ = parseReport(text);
    }
    return true;
  }

  static std::map<std::string, uint64_t> parseReport(const std::string& text) {
    std::map<std::string, uint64_t> counts;
    std::istringstream words(text.substr(7));
    std::string word;
    while (words >> word) {
      size_t equals = word.find('=');
      if (equals == std::string::npos) continue;
      counts[word.substr(0, equals)] = std::strtoull(word.c_str() + equals + 1, nullptr, 10);
    }
    return counts;
  }

  LoopbackPeer peer_;
  ClientProcess client_;
  ExpectedEvents expected_;
  std::mt19937 random_;
  uint64_t sent_ = 0;
  uint64_t nextDisconnectAt_ = kDisconnectEvery;
  uint64_t reacceptAt_ = 0;
  bool pendingSync_ = false;
  uint64_t detailsRequests_ = 0;
  uint64_t keepAliveAnswers_ = 0;
  uint64_t logins_ = 0;
  std::optional<std::map<std::string, uint64_t>> report_;
};

// Compares the script's counts with the oracle's, event by event.
void expectCounts(const std::map<std::string, uint64_t>& reported, const ExpectedEvents& expected,
                  const std::string& when) {
  for (const auto& [name, count] : expected.counts()) {
    auto it = reported.find(name);
    ASSERT_NE(it, reported.end()) << name << " missing from the report " << when;
    EXPECT_EQ(it->second, count) << name << " " << when;
  }
  auto missing = reported.find("quitNameMissing");
  ASSERT_NE(missing, reported.end());
  EXPECT_EQ(missing->second, 0u) << "players not found in onPlayerQuit " << when;
}

TEST(SoakTest, MillionMixedDatagramsReachTheScriptAndMemoryStaysFlat) {
  auto started = std::chrono::steady_clock::now();
  SoakPeer peer;
  ASSERT_TRUE(peer.awaitLogin()) << "no login from the client";
  peer.accept();

  std::optional<uint64_t> baselineKiB;
  while (peer.sent() < kTotalDatagrams) {
    peer.sendSomething();
    if (!peer.takeSyncDue()) continue;
    ASSERT_TRUE(peer.sync()) << "no keep-alive answer after " << peer.sent() << " datagrams";
    if (!baselineKiB && peer.sent() >= kMemoryBaselineAt) {
      std::optional<std::map<std::string, uint64_t>> counts = peer.report();
      ASSERT_TRUE(counts) << "no report after " << peer.sent() << " datagrams";
      expectCounts(*counts, peer.expected(), "after the first 100 000");
      baselineKiB = residentKiB(peer.client().pid());
      ASSERT_TRUE(baselineKiB);
    }
  }
  ASSERT_TRUE(peer.sync());
  std::optional<std::map<std::string, uint64_t>> counts = peer.report();
  ASSERT_TRUE(counts) << "no final report";
  std::optional<uint64_t> finalKiB = residentKiB(peer.client().pid());
  std::optional<uint64_t> drops = udpDrops(peer.clientPort());
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  expectCounts(*counts, peer.expected(), "at the end");
  ASSERT_TRUE(drops);
  EXPECT_EQ(*drops, 0u) << "datagrams the kernel dropped for the client";
  EXPECT_EQ(peer.detailsRequests(), peer.expected().detailsRequests());
  EXPECT_EQ(peer.keepAliveAnswers(), peer.expected().keepAliveAnswers());
  EXPECT_EQ(peer.logins(), 1u) << "the client timed out and logged in again";
  ASSERT_TRUE(finalKiB);
  EXPECT_LE(*finalKiB, *baselineKiB + kMemorySlackKiB)
      << "VmRSS grew from " << *baselineKiB << " KiB to " << *finalKiB << " KiB";

  std::printf("soak: %llu datagrams in %.1f s; VmRSS %llu KiB after 100 000, %llu KiB at the end\n",
              static_cast<unsigned long long>(peer.sent()), seconds,
              static_cast<unsigned long long>(*baselineKiB),
              static_cast<unsigned long long>(*finalKiB));
  for (const auto& [name, count] : peer.expected().counts()) {
    std::printf("soak:   %-24s %llu\n", name.c_str(), static_cast<unsigned long long>(count));
  }
}

}  // namespace
}  // namespace gsadmin::testing
