// An account's own logins through the real binary: a second browser's
// login is listed with where it came from and its browser, and ended from
// the first, after which it is refused.

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

class PanelAccountTest : public PanelEndToEndTest {};

TEST_F(PanelAccountTest, ALoginLeftOpenElsewhereIsListedAndEnded) {
  startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_)});
  int port = portOf(*client_, "Panel");
  ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
  httplib::Client here("127.0.0.1", port);
  httplib::Client elsewhere("127.0.0.1", port);
  elsewhere.set_default_headers({{"User-Agent", "Phone Browser/2.0"}});
  std::optional<WebUser> mine = logIn(here, "alice", "secret");
  std::optional<WebUser> theirs = logIn(elsewhere, "alice", "secret");
  ASSERT_TRUE(mine && theirs);
  ASSERT_TRUE(logIn(here, "mia", "secret"));

  httplib::Result listed = here.Get("/api/sessions", headersOf(*mine));
  ASSERT_TRUE(listed && listed->status == 200);
  json sessions = json::parse(listed->body)["sessions"];
  ASSERT_EQ(sessions.size(), 2u) << "mia's login is not alice's";
  json other = sessions[0]["current"] == true ? sessions[1] : sessions[0];
  EXPECT_EQ(other["browser"], "Phone Browser/2.0");
  EXPECT_EQ(other["address"], "127.0.0.1");
  EXPECT_EQ(listed->body.find(theirs->cookie.substr(theirs->cookie.find('=') + 1)),
            std::string::npos)
      << "a login's token is never listed";

  httplib::Result ended = here.Post("/api/sessions/end", headersOf(*mine),
                                    json{{"id", other["id"]}}.dump(), "application/json");
  ASSERT_TRUE(ended);
  EXPECT_EQ(ended->status, 200);
  EXPECT_EQ(elsewhere.Get("/api/session", headersOf(*theirs))->status, 401);
  EXPECT_EQ(here.Get("/api/session", headersOf(*mine))->status, 200);
  httplib::Result again = here.Post("/api/sessions/end", headersOf(*mine),
                                    json{{"id", other["id"]}}.dump(), "application/json");
  EXPECT_EQ(again->status, 404);
}

}  // namespace
}  // namespace gsadmin::testing
