// The players' reports through the panel's API on the real binary: a report
// said in game is listed, read with its reporters, claimed and closed with
// a sanction's number through the action form's route, and a malformed
// request is refused; the Reports page is served.

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

constexpr int kLineWaitMs = 5000;

class PanelReportsTest : public PanelEndToEndTest {
 protected:
  void SetUp() override {
    startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_),
                 "--db=" + dir_.path() + "/records.db"},
                true);
    int port = portOf(*client_, "Panel");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}, {4, "Eve"}}));
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    http_->set_read_timeout(10, 0);
    std::optional<WebUser> mia = logIn(*http_, "mia", "secret");
    ASSERT_TRUE(mia);
    mia_ = *mia;
  }

  std::pair<int, json> get(const std::string& path) {
    httplib::Result result = http_->Get(path, headersOf(mia_));
    if (!result) return {-1, json()};
    return {result->status, json::parse(result->body, nullptr, false)};
  }
  std::pair<int, json> act(const json& body) {
    httplib::Result result =
        http_->Post("/api/actions", headersOf(mia_), body.dump(), "application/json");
    if (!result) return {-1, json()};
    return {result->status, json::parse(result->body, nullptr, false)};
  }

  std::unique_ptr<httplib::Client> http_;
  WebUser mia_;
};

TEST_F(PanelReportsTest, AReportIsListedReadClaimedAndClosed) {
  ASSERT_TRUE(peer_.send(chatLine(3, 1, "!report Eve aimbot")));
  ASSERT_TRUE(client_->waitForLine("* Report #1: Eve by Bob: aimbot", kLineWaitMs))
      << client_->output();
  auto [listed, list] = get("/api/reports");
  ASSERT_EQ(listed, 200) << list;
  ASSERT_EQ(list["reports"].size(), 1u) << list;
  EXPECT_EQ(list["reports"][0]["id"], 1);
  EXPECT_EQ(list["reports"][0]["target"], "Eve");
  EXPECT_EQ(list["reports"][0]["reporter"], "Bob");
  EXPECT_EQ(list["reports"][0]["state"], "open");

  auto [read, report] = get("/api/reports/1");
  ASSERT_EQ(read, 200) << report;
  EXPECT_EQ(report["reporterNames"], json({"Bob"}));
  EXPECT_TRUE(report["evidence"].is_array());
  EXPECT_EQ(report["collecting"], true) << "copied a minute after the report";
  EXPECT_EQ(get("/api/reports/2").first, 404);
  EXPECT_EQ(get("/api/reports/x").first, 404);

  EXPECT_EQ(act({{"action", "report claim"}}).first, 400);
  auto [claimed, claimAnswer] = act({{"action", "report claim"}, {"report", 1}});
  ASSERT_EQ(claimed, 200) << claimAnswer;
  EXPECT_TRUE(client_->waitForLine("* panel:mia claimed report #1 on Eve", kLineWaitMs));
  EXPECT_EQ(get("/api/reports/1").second["claimedBy"], "mia");

  ASSERT_EQ(
      act({{"action", "tempban"}, {"name", "Eve"}, {"duration", "1h"}, {"reason", "aimbot"}}).first,
      200);
  auto [closed, closeAnswer] =
      act({{"action", "report close"}, {"report", 1}, {"text", "#1 seen"}});
  ASSERT_EQ(closed, 200) << closeAnswer;
  EXPECT_TRUE(client_->waitForLine("* panel:mia closed report #1 on Eve with sanction #1: seen",
                                   kLineWaitMs));
  json done = get("/api/reports/1").second;
  EXPECT_EQ(done["state"], "closed");
  EXPECT_EQ(done["sanction"], 1);
  EXPECT_TRUE(get("/api/reports").second["reports"].empty());
}

// The Reports page: its section in the page and its script, which reads the
// routes above.
TEST_F(PanelReportsTest, ThePageAndItsScriptAreServed) {
  httplib::Result page = http_->Get("/");
  ASSERT_TRUE(page && page->status == 200);
  EXPECT_NE(page->body.find("<section id=\"page-reports\""), std::string::npos);
  EXPECT_NE(page->body.find("<a href=\"#reports\">Reports</a>"), std::string::npos);
  EXPECT_NE(page->body.find("<script src=\"/reports.js\""), std::string::npos);
  httplib::Result script = http_->Get("/reports.js");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->status, 200);
  EXPECT_NE(script->body.find("'/api/reports/' + id"), std::string::npos);
}

}  // namespace
}  // namespace gsadmin::testing
