// The public ban record and appeals through the real client against the
// real simulator: a banned player is refused with the ban's number, finds
// the ban on the public listener, appeals with an HTTP POST, is accepted
// at the console and joins again; the decision is read back by the token.
// The panel's JSON door accepts an appeal the same way, and the public
// listener serves none of the panel's routes.

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>

#include "support/client_process.h"
#include "support/console_lines.h"
#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

// Troll is banned at once (kicked before the quit at 3 s, which is then
// skipped), refused at 4 s, appeals meanwhile and is let in at 12 s once
// accepted.
const char kScenario[] = R"(server-name Appeal Test
online Ann key k-a1
online Troll key k-troll
0.5  chat Troll ready
3    quit Troll
4    join Troll key k-troll
5    quit Troll
12   join Troll key k-troll
13   chat Troll thanks
14   end
)";

std::pair<int, json> answerOf(const httplib::Result& result) {
  if (!result) return {-1, json()};
  return {result->status, json::parse(result->body, nullptr, false)};
}

// The simulator playing kScenario and the client with the public listener
// on its port, Troll banned.
class PublicAppealsEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("scenario.txt", kScenario);
    sim_ = std::make_unique<ClientProcess>(
        std::vector<std::string>{"--port", "0", "--scenario", dir_.path() + "/scenario.txt",
                                 "--once"},
        std::nullopt, GSADMIN_SIM_PATH);
    uint16_t port = listeningPort(*sim_);
    ASSERT_NE(port, 0) << sim_->output();
    client_ = std::make_unique<ClientProcess>(
        std::vector<std::string>{"127.0.0.1", std::to_string(port), "Admin", "73519",
                                 "--public=127.0.0.1:0", "--db=" + dir_.path() + "/records.db"},
        std::nullopt, ClientProcess::defaultBinary(), std::nullopt, dir_.path(),
        ClientProcess::Input::kPipe);
    publicPort_ = portOf(*client_, "Public");
    ASSERT_NE(publicPort_, 0) << client_->output() << client_->errorOutput();
    ASSERT_TRUE(client_->waitForLine("Troll: ready")) << client_->output();
    client_->writeInput(".tempban Troll 1d cheating\n");
    ASSERT_TRUE(client_->waitForLine("* console:Admin banned Troll for 1d")) << client_->output();
    ASSERT_TRUE(client_->waitForLine("* Troll is banned until ", 8000)) << client_->output();
  }
  void TearDown() override {
    if (client_) {
      client_->closeInput();
      client_->kill(SIGTERM);
      EXPECT_EQ(client_->waitExit(), 0);
    }
  }

  TempDir dir_;
  std::unique_ptr<ClientProcess> sim_;
  std::unique_ptr<ClientProcess> client_;
  int publicPort_ = 0;
};

TEST_F(PublicAppealsEndToEndTest, ABannedPlayerAppealsIsAcceptedAndJoinsAgain) {
  ClientProcess* client = client_.get();
  int publicPort = publicPort_;

  httplib::Client http("127.0.0.1", publicPort);
  http.set_read_timeout(10, 0);
  auto [found, record] = answerOf(http.Get("/api/bans?name=troll"));
  ASSERT_EQ(found, 200) << record;
  ASSERT_EQ(record["bans"].size(), 1u) << record;
  int64_t ban = record["bans"][0]["id"];
  EXPECT_EQ(record["bans"][0]["reason"], "cheating");
  EXPECT_FALSE(record["bans"][0].contains("actor")) << record;
  EXPECT_EQ(answerOf(http.Get("/api/bans/" + std::to_string(ban))).second["name"], "Troll");

  // A form, as a browser without scripts would send it.
  auto [filed, filing] = answerOf(http.Post(
      "/api/appeals", "ban=" + std::to_string(ban) + "&name=Troll&text=I+was+not+cheating",
      "application/x-www-form-urlencoded"));
  ASSERT_EQ(filed, 200) << filing;
  std::string token = filing["token"];
  ASSERT_TRUE(client->waitForLine("* Appeal #1 of ban #" + std::to_string(ban) + " by Troll"))
      << client->output();
  EXPECT_EQ(answerOf(http.Get("/api/appeals/" + token)).second["state"], "open");
  std::string listed = answer(*client, ".appeals", "I was not cheating");
  EXPECT_NE(listed.find("* #1 ban #" + std::to_string(ban) + " Troll, "), std::string::npos)
      << listed;

  client->writeInput(".appeal accept 1 welcome back\n");
  ASSERT_TRUE(client->waitForLine("* console:Admin accepted appeal #1 of ban #" +
                                  std::to_string(ban) + " on Troll: welcome back"))
      << client->output();
  auto [read, decision] = answerOf(http.Get("/api/appeals/" + token));
  ASSERT_EQ(read, 200) << decision;
  EXPECT_EQ(decision["state"], "accepted");
  EXPECT_EQ(decision["reply"], "welcome back");
  EXPECT_EQ(decision["ban"], ban);
  EXPECT_TRUE(client->waitForLine("Troll: thanks", 15000)) << client->output();
  std::string audit = answer(*client, ".audit 3", "tempban");
  EXPECT_TRUE(std::regex_search(audit, std::regex("console:Admin appeal accept Troll.*: #1: "
                                                  "welcome back\n")))
      << audit;
  EXPECT_TRUE(std::regex_search(audit, std::regex("console:Admin unban Troll.*: appeal #1\n")))
      << audit;
  EXPECT_EQ(sim_->waitExit(20000), 0);
  sim_->readToEnd();
  const std::string& log = sim_->output();
  std::string refused =
      "admin message to Troll (id 1): You are banned (#" + std::to_string(ban) + ") until ";
  EXPECT_EQ(occurrences(log, refused), 2) << "at the ban and at the refused join: " << log;
  EXPECT_EQ(occurrences(log, "admin kicks Troll"), 2) << "not at the join after the accept" << log;
}

// The panel and the public listener side by side: the panel's JSON door
// lists and accepts an appeal; the public listener has none of the panel's
// routes and sets no cookie.
class PublicPanelTest : public PanelEndToEndTest {
 protected:
  void SetUp() override {
    startClient({"--http=127.0.0.1:0", "--http-users=" + writeUsers(dir_), "--public=127.0.0.1:0",
                 "--db=" + dir_.path() + "/records.db"},
                true);
    int panelPort = portOf(*client_, "Panel");
    int publicPort = portOf(*client_, "Public");
    ASSERT_NE(panelPort, 0) << client_->output() << client_->errorOutput();
    ASSERT_NE(publicPort, 0) << client_->output() << client_->errorOutput();
    panel_ = std::make_unique<httplib::Client>("127.0.0.1", panelPort);
    public_ = std::make_unique<httplib::Client>("127.0.0.1", publicPort);
    std::optional<WebUser> alice = logIn(*panel_, "alice", "secret");
    ASSERT_TRUE(alice);
    alice_ = *alice;
  }

  std::pair<int, json> appeal(const json& body) {
    return answerOf(public_->Post("/api/appeals", body.dump(), "application/json"));
  }
  std::pair<int, json> act(const json& body) {
    return answerOf(
        panel_->Post("/api/actions", headersOf(alice_), body.dump(), "application/json"));
  }

  std::unique_ptr<httplib::Client> panel_;
  std::unique_ptr<httplib::Client> public_;
  WebUser alice_;
};

TEST_F(PublicPanelTest, ThePanelListsAcceptsAndRejectsAppeals) {
  ASSERT_EQ(
      act({{"action", "tempban"}, {"name", "Eve"}, {"duration", "1h"}, {"reason", "spam"}}).first,
      200);
  ASSERT_EQ(act({{"action", "ban"}, {"name", "Mallory"}, {"reason", "cheat"}}).first, 200);
  EXPECT_EQ(appeal({{"ban", 1}, {"name", "Mallory"}, {"text", "hi"}}).first, 404)
      << "the name must be the ban's";
  EXPECT_EQ(appeal({{"ban", 1}, {"name", "Eve"}, {"text", std::string(2001, 'x')}}).first, 400);
  auto [filed, filing] = appeal({{"ban", "#1"}, {"name", "eve"}, {"text", "sorry"}});
  ASSERT_EQ(filed, 200) << filing;
  EXPECT_EQ(appeal({{"ban", 1}, {"name", "Eve"}, {"text", "again"}}).first, 409);
  auto [second, rejected] = appeal({{"ban", 2}, {"name", "Mallory"}, {"text", "not me"}});
  ASSERT_EQ(second, 200) << rejected;

  auto [listed, list] = answerOf(panel_->Get("/api/appeals", headersOf(alice_)));
  ASSERT_EQ(listed, 200) << list;
  ASSERT_EQ(list["appeals"].size(), 2u) << list;
  EXPECT_EQ(list["appeals"][0]["ban"], 1);
  EXPECT_EQ(list["appeals"][0]["text"], "sorry");

  EXPECT_EQ(act({{"action", "appeal reject"}, {"appeal", 2}}).first, 409) << "a reply is needed";
  ASSERT_EQ(act({{"action", "appeal reject"}, {"appeal", 2}, {"text", "seen on video"}}).first,
            200);
  ASSERT_EQ(act({{"action", "appeal accept"}, {"appeal", 1}}).first, 200);
  EXPECT_EQ(act({{"action", "appeal accept"}, {"appeal", 1}}).first, 409) << "decided already";
  EXPECT_TRUE(client_->waitForLine("* panel:alice accepted appeal #1 of ban #1 on Eve"));
  json eve = answerOf(public_->Get("/api/appeals/" + filing["token"].get<std::string>())).second;
  EXPECT_EQ(eve["state"], "accepted");
  json mallory =
      answerOf(public_->Get("/api/appeals/" + rejected["token"].get<std::string>())).second;
  EXPECT_EQ(mallory["state"], "rejected");
  EXPECT_EQ(mallory["reply"], "seen on video");
  json lifted = answerOf(public_->Get("/api/bans/1")).second;
  EXPECT_TRUE(lifted["end"].is_number()) << lifted;
  EXPECT_EQ(answerOf(panel_->Get("/api/appeals", headersOf(alice_))).second["appeals"].size(), 0u);
  EXPECT_EQ(answerOf(public_->Get("/api/appeals/" + std::string(64, '0'))).first, 404);
}

// Appeals are bounded before a ban is looked at: 5 an hour from an address
// (loopback here), a body past 32 KiB refused whole, a number past 18
// digits no number.
TEST_F(PublicPanelTest, AppealsAndTheirBodiesAreBounded) {
  std::string big = json({{"ban", 1}, {"name", "Eve"}, {"text", std::string(40000, 'x')}}).dump();
  EXPECT_EQ(public_->Post("/api/appeals", big, "application/json")->status, 413);
  EXPECT_EQ(answerOf(public_->Get("/api/bans/1234567890123456789")).first, 404);
  EXPECT_EQ(answerOf(public_->Get("/api/bans?name=")).first, 400);
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(appeal({{"ban", i}, {"name", "Nobody"}, {"text", "guess"}}).first, 404) << i;
  }
  httplib::Result sixth = public_->Post(
      "/api/appeals", json({{"ban", 6}, {"name", "Nobody"}, {"text", "guess"}}).dump(),
      "application/json");
  ASSERT_TRUE(sixth);
  EXPECT_EQ(sixth->status, 429);
  EXPECT_EQ(sixth->get_header_value("Retry-After"), "3600");
}

TEST_F(PublicPanelTest, ThePublicListenerHasNoneOfThePanelsRoutes) {
  for (const char* path : {"/api/session", "/api/players", "/api/audit", "/api/events", "/app.js",
                           "/api/reports", "/metrics"}) {
    httplib::Result result = public_->Get(path, headersOf(alice_));
    ASSERT_TRUE(result) << path;
    EXPECT_EQ(result->status, 404) << path;
  }
  httplib::Result login =
      public_->Post("/api/login", R"({"name":"alice","password":"secret"})", "application/json");
  ASSERT_TRUE(login);
  EXPECT_EQ(login->status, 404);
  EXPECT_FALSE(login->has_header("Set-Cookie"));
  httplib::Result page = public_->Get("/");
  ASSERT_TRUE(page && page->status == 200);
  EXPECT_NE(page->body.find("<script src=\"/public.js\" defer></script>"), std::string::npos);
  EXPECT_EQ(page->body.find("<script>"), std::string::npos) << "no inline script";
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"),
            std::string::npos);
  EXPECT_FALSE(page->has_header("Set-Cookie"));
  EXPECT_EQ(panel_->Get("/public.js")->status, 404) << "the panel serves no public file";
  httplib::Result panelPage = panel_->Get("/");
  ASSERT_TRUE(panelPage);
  EXPECT_NE(panelPage->body.find("<section id=\"page-appeals\""), std::string::npos);
  EXPECT_NE(panelPage->body.find("<script src=\"/appeals.js\" defer></script>"), std::string::npos);
  EXPECT_EQ(panel_->Get("/appeals.js")->status, 200);
  EXPECT_EQ(public_->Get("/public.js")->status, 200);
}

}  // namespace
}  // namespace gsadmin::testing
