// The panel's Rules page through the real binary: /api/rules lists the
// rules of --rules with their ladders, a flood raises its rule's count of
// matches in the last hour, and without --rules the list is empty.

#include <gtest/gtest.h>
#include <httplib.h>

#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

constexpr int kLineWaitMs = 5000;

const char kRules[] = R"([[rule]]
name = "flood"
kind = "flood"
lines = 3
seconds = 60
acts = ["warn", "kick"]

[[rule]]
name = "names"
kind = "name"
patterns = ["(?i)admin"]
acts = ["kick"]
)";

class PanelRulesTest : public PanelEndToEndTest {
 protected:
  // The client with `options` as well, Bob (3) on the server and mia
  // (level 1) logged in.
  void start(std::vector<std::string> options) {
    options.insert(options.begin(), {"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
    startClient(options);
    int port = portOf(*client_, "Panel");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}}));
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    http_->set_read_timeout(10, 0);
    mia_ = logIn(*http_, "mia", "secret");
    ASSERT_TRUE(mia_);
  }

  json rules() {
    httplib::Result result = http_->Get("/api/rules", headersOf(*mia_));
    if (!result || result->status != 200) return nullptr;
    return json::parse(result->body, nullptr, false);
  }

  std::unique_ptr<httplib::Client> http_;
  std::optional<WebUser> mia_;
};

TEST_F(PanelRulesTest, TheRulesAreListedAndAFloodIsCounted) {
  std::string path = dir_.path() + "/panel.rules";
  std::ofstream(path) << kRules;
  start({"--rules=" + path});
  json before = rules();
  ASSERT_TRUE(before.is_object()) << client_->output();
  EXPECT_EQ(before["loaded"], true);
  ASSERT_EQ(before["rules"].size(), 2u) << before;
  EXPECT_EQ(before["rules"][0], json({{"name", "flood"},
                                      {"kind", "flood"},
                                      {"acts", {"warn", "kick"}},
                                      {"matchesLastHour", 0}}));
  EXPECT_EQ(before["rules"][1]["name"], "names");
  EXPECT_EQ(before["rules"][1]["acts"], json({"kick"}));

  for (const char* line : {"one", "two", "three"}) ASSERT_TRUE(peer_.send(chatLine(3, 1, line)));
  ASSERT_TRUE(client_->waitForLine("RULE flood: warn Bob", kLineWaitMs)) << client_->output();
  json after = rules();
  ASSERT_TRUE(after.is_object());
  EXPECT_EQ(after["rules"][0]["matchesLastHour"], 1) << after;
  EXPECT_EQ(after["rules"][1]["matchesLastHour"], 0) << after;
  EXPECT_EQ(http_->Get("/api/rules")->status, 401) << "no session";
}

TEST_F(PanelRulesTest, WithoutRulesTheListIsEmpty) {
  start({});
  EXPECT_EQ(rules(), json({{"rules", json::array()}, {"loaded", false}}));
}

}  // namespace
}  // namespace gsadmin::testing
