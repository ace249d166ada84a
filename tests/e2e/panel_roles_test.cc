// Named roles of the users file through the real binary: an account whose
// role may kick and tempban up to a day does that through the panel's
// actions and its console lines alike, and is refused a longer tempban, a
// ban and a console command; a role reads only the records it lists, on the
// pages and the console alike; a role scoped to another server may do
// nothing here.

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "panel/password_hash.h"
#include "support/admin_login.h"
#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

class PanelRolesTest : public PanelEndToEndTest {
 protected:
  void SetUp() override {
    std::string hash = *hashPassword("secret");
    dir_.write("users",
               "role trial kick,tempban:1d,note\nrole faraway kick,read:* elsewhere\n"
               "role ops command,read:bans\n"
               "tina trial " +
                   hash + "\nfay faraway " + hash + "\nola ops " + hash + "\n");
    std::string users = dir_.path() + "/users";
    chmod(users.c_str(), 0600);
    startClient({"--http=127.0.0.1:0", "--http-users=" + users, "--server-name=here",
                 "--db=" + dir_.path() + "/records.db"},
                true);
    int port = portOf(*client_, "Panel");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}, {4, "Eve"}}));
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    http_->set_read_timeout(10, 0);
  }

  // The status and error of an action by `user`.
  std::pair<int, std::string> act(const WebUser& user, const json& body) {
    httplib::Result result =
        http_->Post("/api/actions", headersOf(user), body.dump(), "application/json");
    if (!result) return {-1, ""};
    return {result->status, json::parse(result->body).value("error", "")};
  }

  std::unique_ptr<httplib::Client> http_;
};

TEST_F(PanelRolesTest, ARoleDoesWhatItListsAndNothingElse) {
  std::optional<WebUser> tina = logIn(*http_, "tina", "secret");
  ASSERT_TRUE(tina);
  json session = json::parse(http_->Get("/api/session", headersOf(*tina))->body);
  EXPECT_EQ(session["role"], "trial");
  for (const json& offered : session["acts"]) {
    bool listed =
        offered["name"] == "kick" || offered["name"] == "tempban" || offered["name"] == "note";
    EXPECT_EQ(offered["level"].get<int>() <= session["level"].get<int>(), listed) << offered;
  }
  EXPECT_EQ(
      act(*tina, {{"action", "tempban"}, {"name", "Mallory"}, {"duration", "2d"}, {"reason", "x"}}),
      std::make_pair(409, std::string("you may not ban for more than 1d")));
  EXPECT_EQ(act(*tina, {{"action", "ban"}, {"name", "Mallory"}, {"reason", "x"}}),
            std::make_pair(409, std::string("the role trial may not ban")));
  EXPECT_EQ(act(*tina, {{"action", "command"}, {"line", ".players"}}),
            std::make_pair(409, std::string("your level may not command")));
  EXPECT_EQ(
      act(*tina,
          {{"action", "tempban"}, {"name", "Mallory"}, {"duration", "1d"}, {"reason", "spam"}})
          .first,
      200);
  EXPECT_TRUE(client_->waitForLine("* panel:tina banned Mallory (never seen) for 1d", 5000))
      << client_->output();
}

TEST_F(PanelRolesTest, ARoleScopedToAnotherServerDoesNothingHere) {
  std::optional<WebUser> fay = logIn(*http_, "fay", "secret");
  ASSERT_TRUE(fay);
  EXPECT_EQ(act(*fay, {{"action", "kick"}, {"name", "Eve"}, {"reason", "x"}}),
            std::make_pair(409, std::string("the role faraway may not kick")));
  EXPECT_EQ(http_->Get("/api/bans", headersOf(*fay))->status, 403);
}

TEST_F(PanelRolesTest, ARoleReadsOnlyWhatItLists) {
  std::optional<WebUser> ola = logIn(*http_, "ola", "secret");
  ASSERT_TRUE(ola);
  json session = json::parse(http_->Get("/api/session", headersOf(*ola))->body);
  EXPECT_EQ(session["reads"], json::array({"bans"}));
  const struct {
    const char* path;
    int status;
  } reads[] = {
      {"/api/server", 200},         {"/api/charts", 200},
      {"/api/bans", 200},           {"/api/bans/search", 200},
      {"/api/audit", 403},          {"/api/audit/export", 403},
      {"/api/reports", 403},        {"/api/reports/1", 403},
      {"/api/appeals", 403},        {"/api/rules", 403},
      {"/api/players", 403},        {"/api/players/recent", 403},
      {"/api/history?name=x", 403}, {"/api/players/search?q=x", 403},
  };
  for (const auto& read : reads) {
    httplib::Result result = http_->Get(read.path, headersOf(*ola));
    ASSERT_TRUE(result) << read.path;
    EXPECT_EQ(result->status, read.status) << read.path << ": " << result->body;
  }
  EXPECT_EQ(json::parse(http_->Get("/api/audit", headersOf(*ola))->body)["error"],
            "the role ops may not read audit");
  // The console's reads are the same reads.
  EXPECT_EQ(act(*ola, {{"action", "command"}, {"line", ".audit"}}).first, 200);
  EXPECT_TRUE(client_->waitForLine("* .audit: the role ops may not read audit", 5000))
      << client_->output();
}

}  // namespace
}  // namespace gsadmin::testing
