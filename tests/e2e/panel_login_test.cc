// The panel's logins under attack, through the real binary: floods of wrong
// passwords from one address and from many loopback addresses, the admin's
// own browser getting in meanwhile, and the memory the hashing leaves.

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "support/door_flood.h"
#include "support/panel_client.h"
#include "support/proc_stats.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

// POSTs a login of `name` on a connection of its own from the local
// address `source` (any of 127/8); its status, -1 when none came.
int loginFrom(const std::string& source, int port, const std::string& name,
              const std::string& password) {
  std::string body = json{{"name", name}, {"password", password}}.dump();
  return rawRequest(port, requestText("POST", "/api/login", std::string(), body), 10000, source);
}

// The answers of a flood of wrong logins, by status.
struct FloodCount {
  std::atomic<int> checked{0};    // 401: the password was hashed
  std::atomic<int> throttled{0};  // 429
  std::atomic<int> other{0};      // anything else, after a few tries
  int answered() const { return checked + throttled; }
};

// `count` wrong logins at once, the i-th for names(i) from sources(i). A
// connection the server refused or cut is tried again a few times.
void flood(int port, int count, const std::function<std::string(int)>& names,
           const std::function<std::string(int)>& sources, FloodCount* answers) {
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i]() {
      int status = -1;
      for (int attempt = 0; attempt < 20 && (status == -1 || status == 503); ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        status = loginFrom(sources(i), port, names(i), "wrong");
      }
      (status == 401 ? answers->checked : status == 429 ? answers->throttled : answers->other)++;
    });
  }
  for (std::thread& thread : threads) thread.join();
}

// The "gsadmin_device=..." pair a good login of `name` sets; empty when
// none.
std::string deviceCookieOf(httplib::Client& http, const std::string& name) {
  json body = {{"name", name}, {"password", "secret"}};
  httplib::Result result = http.Post("/api/login", body.dump(), "application/json");
  if (!result || result->status != 200) return "";
  auto [begin, end] = result->headers.equal_range("Set-Cookie");
  for (auto it = begin; it != end; ++it) {
    if (it->second.starts_with("gsadmin_device=")) {
      EXPECT_NE(it->second.find("; Path=/api/login; Max-Age=7776000; HttpOnly; SameSite=Strict"),
                std::string::npos)
          << it->second;
      return it->second.substr(0, it->second.find(';'));
    }
  }
  return "";
}

// A login of `name` with the right password from a browser holding
// `deviceCookie` (none when empty); its status. A flood from the same
// address may hold every connection the address is allowed, so a 503 is
// tried again a few times, as the page does.
int loginWith(int port, const std::string& name, const std::string& deviceCookie) {
  httplib::Headers headers;
  if (!deviceCookie.empty()) headers.emplace("Cookie", "theme=dark; " + deviceCookie);
  json body = {{"name", name}, {"password", "secret"}};
  int status = -1;
  for (int attempt = 0; attempt < 5 && (status == -1 || status == 503); ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    httplib::Client http("127.0.0.1", port);
    http.set_read_timeout(10, 0);
    httplib::Result result = http.Post("/api/login", headers, body.dump(), "application/json");
    status = result ? result->status : -1;
  }
  return status;
}

TEST_F(PanelEndToEndTest, ParallelWrongPasswordsCheckFiveAMinuteAndTheAdminsBrowserGetsIn) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->errorOutput();
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(10, 0);
  std::map<std::string, std::string> devices = {{"alice", deviceCookieOf(http, "alice")},
                                                {"mia", deviceCookieOf(http, "mia")}};
  ASSERT_FALSE(devices["alice"].empty());
  ASSERT_FALSE(devices["mia"].empty());

  struct Case {
    const char* account;
    std::function<std::string(int)> sources;
  };
  std::vector<Case> cases = {
      {"alice", [](int) { return std::string("127.0.0.1"); }},
      {"mia",
       [](int i) {
         return "127.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 2);
       }},
  };
  for (const Case& c : cases) {
    FloodCount answers;
    std::thread attacker([&]() {
      flood(
          port, 200, [&](int) { return c.account; }, c.sources, &answers);
    });
    while (answers.answered() < 20 && answers.other == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(loginWith(port, c.account, devices[c.account]), 200) << c.account;
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(2)) << c.account << ": the known browser's login";
    attacker.join();
    EXPECT_LE(answers.checked, 5) << c.account;
    EXPECT_EQ(answers.answered(), 200) << c.account << ": other answers " << answers.other;
    EXPECT_EQ(loginWith(port, c.account, ""), 429) << c.account << ": a new browser waits";
  }
  // The floods counted 10 of loopback's 20 checked guesses a minute.
  int status = 0;
  EXPECT_FALSE(logIn(http, "nobody", "wrong", &status));
  EXPECT_EQ(status, 401);
}

TEST_F(PanelEndToEndTest, RightPasswordsDoNotCount) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->errorOutput();
  // More than the 5 a minute of the account and the 20 of the address, each
  // from a browser that keeps no cookie.
  for (int i = 0; i < 25; ++i) ASSERT_EQ(loginWith(port, "mia", ""), 200) << i;
}

TEST_F(PanelEndToEndTest, FailedLoginsLeaveTheMemoryBounded) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->errorOutput();
  // One good login first, so that the baseline holds what any login needs.
  ASSERT_EQ(loginWith(port, "alice", ""), 200);
  std::optional<uint64_t> before = residentKiB(client_->pid());
  ASSERT_TRUE(before);

  // Each from another loopback address, each for another name: the most
  // that pass the throttle (20 for the loopback address) at once.
  FloodCount answers;
  flood(
      port, 100, [](int i) { return "guess" + std::to_string(i); },
      [](int i) { return "127.0.1." + std::to_string(i + 2); }, &answers);
  EXPECT_EQ(answers.answered(), 100);
  EXPECT_LE(answers.checked, 20);
  EXPECT_GE(answers.checked, 1);

  std::optional<uint64_t> after = residentKiB(client_->pid());
  ASSERT_TRUE(after);
  // Two hashings' arenas at most, trimmed after each: far below the 19 MiB
  // every one of the checked guesses took.
  if (kResidentSizeIsTheProgramsOwn) {
    EXPECT_LT(*after, *before + 48 * 1024) << "KiB before " << *before << ", after " << *after;
  }
}

}  // namespace
}  // namespace gsadmin::testing
