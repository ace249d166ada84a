// The metrics through the real binary: datagrams by the wire's names,
// script errors by script, acts by kind and door, the build and, on
// PostgreSQL, the database's state.

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "support/panel_client.h"
#include "support/postgres_server.h"

namespace gsadmin::testing {
namespace {

class PanelMetricsTest : public PanelEndToEndTest {
 protected:
  void start(const std::string& database) {
    std::string script = dir_.path() + "/bad.lua";
    std::ofstream(script) << "function chat(id, text) error('no') end\n"
                             "addEventHandler(\"onPlayerChat\", \"chat\")\n";
    startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--metrics=127.0.0.1:0",
                 "--db=" + database, "--server-name=east", "--script=" + script},
                true);
    int port = portOf(*client_, "Panel");
    metricsPort_ = portOf(*client_, "Metrics");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    ASSERT_NE(metricsPort_, 0);
    ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}}));
    ASSERT_TRUE(peer_.send(chatLine(3, 1, "hello")));
    ASSERT_TRUE(client_->waitForLine("LUA: Error in function"));
    httplib::Client http("127.0.0.1", port);
    std::optional<WebUser> alice = logIn(http, "alice", "secret");
    ASSERT_TRUE(alice);
    nlohmann::json tempban = {{"action", "tempban"}, {"name", "Zed"}, {"duration", "1h"}};
    httplib::Result done =
        http.Post("/api/actions", headersOf(*alice), tempban.dump(), "application/json");
    ASSERT_TRUE(done && done->status == 200);
  }

  // The metrics once they hold `line` (a snapshot is at most a second old),
  // or as they are after 10 s.
  std::string scrapeUntil(const std::string& line) {
    httplib::Client metrics("127.0.0.1", metricsPort_);
    std::string text;
    for (int i = 0; i < 100; ++i) {
      httplib::Result scraped = metrics.Get("/metrics");
      text = scraped ? scraped->body : "";
      if (text.find("\n" + line + "\n") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return text;
  }

  int metricsPort_ = 0;
};

bool has(const std::string& text, const std::string& line) {
  return text.find("\n" + line + "\n") != std::string::npos;
}

TEST_F(PanelMetricsTest, CountsAreNamedAndLabelled) {
  start(dir_.path() + "/records.db");
  std::string text =
      scrapeUntil("gsadmin_moderation_acts_total{kind=\"tempban\",door=\"panel\"} 1");
  EXPECT_TRUE(has(text, "gsadmin_moderation_acts_total{kind=\"tempban\",door=\"panel\"} 1"))
      << text;
  EXPECT_TRUE(has(text, "gsadmin_datagrams_received_total{type=\"chat\"} 1")) << text;
  EXPECT_TRUE(has(text, "gsadmin_datagrams_received_total{type=\"connection_accepted\"} 1"));
  EXPECT_EQ(text.find("{type=\"3\"}"), std::string::npos);
  EXPECT_TRUE(has(text, "gsadmin_script_errors_total{script=\"" + dir_.path() + "/bad.lua\"} 1"))
      << text;
  EXPECT_TRUE(std::regex_search(
      text, std::regex("\ngsadmin_build_info\\{version=\"[0-9][^\"]*\",server=\"east\"\\} 1\n")))
      << text;
  EXPECT_TRUE(std::regex_search(text, std::regex("\ngsadmin_last_datagram_age_seconds "
                                                 "[0-9]+\\.[0-9]{3}\n")))
      << text;
  // A file has no connection to report.
  EXPECT_EQ(text.find("\ngsadmin_database_connected "), std::string::npos);
}

TEST_F(PanelMetricsTest, APostgresServerReportsItsConnection) {
  if (!PostgresServer::binaries()) GTEST_SKIP() << PostgresServer::kMissing;
  PostgresServer server;
  ASSERT_TRUE(server.running()) << server.failure();
  std::string uri = server.createDatabase("metrics");
  ASSERT_FALSE(uri.empty()) << server.failure();
  start(uri);
  std::string text = scrapeUntil("gsadmin_database_queued_records 0");
  EXPECT_TRUE(has(text, "gsadmin_database_connected 1")) << text;
  EXPECT_TRUE(has(text, "gsadmin_database_queued_records 0")) << text;
}

}  // namespace
}  // namespace gsadmin::testing
