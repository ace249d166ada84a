// The panel's reads through the real binary: many charts over a day of a
// million chat lines at once, while the game session goes on.

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "moderation/record_store.h"
#include "storage/sqlite_database.h"
#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr int kChatLines = 1000000;

int64_t msSince(steady_clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count();
}

// A database at `path` with the moderation's tables and `lines` chat lines
// of Bob spread over the last day; an error, or empty.
std::string fillChat(const std::string& path, int lines) {
  SqliteDatabase database(path);
  RecordStore store(database);
  if (std::string error = store.open(); !error.empty()) return error;
  int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count();
  StatementResult filled = database.run(
      "INSERT INTO gs_chat (time, name_key, name, text)"
      " WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?)"
      " SELECT ? - i % 86000, 'bob', 'Bob', 'line ' || i FROM n",
      {DbValue::integer(lines), DbValue::integer(now)});
  return filled.error.value_or("");
}

// The status and body of GET `path` as `user` on a connection of its own.
std::pair<int, std::string> getAlone(int port, const WebUser& user, const std::string& path) {
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(60, 0);
  httplib::Result result = http.Get(path, headersOf(user));
  if (!result) return {-1, ""};
  return {result->status, result->body};
}

// The chat lines a chart counts.
int64_t chatCounted(const json& charts) {
  int64_t sum = 0;
  for (const json& count : charts["chat"]["values"]) sum += count.get<int64_t>();
  return sum;
}

TEST_F(PanelEndToEndTest, ManyChartReadsOverAMillionChatLinesLeaveTheSessionFree) {
  std::string database = dir_.path() + "/big.db";
  auto filling = steady_clock::now();
  ASSERT_EQ(fillChat(database, kChatLines), "");
  std::printf("[ filled  ] %d chat lines in %lld ms\n", kChatLines,
              static_cast<long long>(msSince(filling)));
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--db=" + database}, true);
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
  ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}}));
  // Ten logins of one level-1 account, four charts each at once.
  std::vector<WebUser> logins;
  httplib::Client http("127.0.0.1", port);
  for (int i = 0; i < 10; ++i) {
    std::optional<WebUser> mia = logIn(http, "mia", "secret");
    ASSERT_TRUE(mia);
    logins.push_back(*mia);
  }
  std::vector<std::future<std::pair<int, std::string>>> reads;
  for (int i = 0; i < 40; ++i) {
    reads.push_back(std::async(std::launch::async, [port, &logins, i]() {
      return getAlone(port, logins[i % logins.size()], "/api/charts?range=day");
    }));
  }

  // Meanwhile the server's chat reaches the console as it comes.
  auto start = steady_clock::now();
  int64_t worstMs = 0;
  int ticks = 0;
  auto pending = [&reads]() {
    return std::any_of(reads.begin(), reads.end(), [](auto& read) {
      return read.wait_for(milliseconds(0)) != std::future_status::ready;
    });
  };
  while (msSince(start) < 30000 && (ticks < 10 || pending())) {
    std::string tick = "tick " + std::to_string(ticks++);
    auto sent = steady_clock::now();
    ASSERT_TRUE(peer_.send(chatLine(3, 1, tick)));
    bool seen = client_->waitForLine(tick, 30000).has_value();
    worstMs = std::max(worstMs, seen ? msSince(sent) : 30000);
    std::this_thread::sleep_for(milliseconds(100));
  }
  std::printf("[ measured] worst console delay %lld ms over %d lines during 40 chart reads\n",
              static_cast<long long>(worstMs), ticks);
  EXPECT_LT(worstMs, 2000) << "a console line waited behind the reads";

  int answered = 0;
  for (auto& read : reads) {
    auto [status, body] = read.get();
    json answer = json::parse(body, nullptr, false);
    if (status == 200) {
      ++answered;
      EXPECT_GE(chatCounted(answer), kChatLines);
    } else {
      EXPECT_TRUE(status == 429 || status == 503) << status << " " << body;
      EXPECT_TRUE(answer.contains("error")) << body;
    }
  }
  EXPECT_GT(answered, 0);
  EXPECT_EQ(client_->output().find("DISCONNECT"), std::string::npos);
}

}  // namespace
}  // namespace gsadmin::testing
