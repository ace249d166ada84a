// A generated matrix through the real binary: roles of the users file, each
// scoped to this server or to another, against every act the panel offers
// (through the JSON API the page uses) and every console line a panel
// account may type. Each is refused for its role exactly when the role does
// not list it or does not reach this server.

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "commands/act.h"
#include "panel/password_hash.h"
#include "support/admin_login.h"
#include "support/panel_client.h"

namespace gsadmin::testing {
namespace {

using nlohmann::json;

const std::vector<std::string> kRoles = {
    "kick",
    "tempban:1d,note,read:bans",
    "ban,unban,ban-reason,ban-length,read:*",
    "command,chat,message,read:audit,read:history",
    "command,warn,kick,report-claim,report-close,appeal-accept,read:reports",
};

bool lists(const std::string& perms, const Act& act) {
  std::string name = act.name;
  std::replace(name.begin(), name.end(), ' ', '-');
  std::string list = "," + perms + ",";
  if (act.read)
    return list.find(",read:*,") != std::string::npos ||
           list.find(",read:" + name + ",") != std::string::npos;
  if (name == "tempban" && list.find(",tempban:") != std::string::npos) return true;
  return list.find("," + name + ",") != std::string::npos;
}

std::string refusalOf(const std::string& role, const Act& act) {
  return "the role " + role + (act.read ? " may not read " : " may not ") + act.name;
}

// A console line for `act` from its usage: "PLAYER DURATION REASON" is
// "Bob 1h x" (Bob is on the server: a line names a player who is before
// its act is weighed); optional arguments are left out.
std::string lineOf(const Act& act) {
  std::string line = std::string(".") + act.word;
  std::string usage = act.usage;
  size_t start = 0;
  while (start < usage.size()) {
    size_t end = usage.find(' ', start);
    std::string word = usage.substr(start, end == std::string::npos ? end : end - start);
    start = end == std::string::npos ? usage.size() : end + 1;
    if (word.empty() || word[0] == '[') continue;
    static const std::pair<const char*, const char*> kValues[] = {
        {"PLAYER", "Bob"}, {"NAME", "Nobody"},   {"DURATION", "1h"},
        {"BAN", "#999"},   {"SANCTION", "#999"}, {"REPORT", "999"},
        {"APPEAL", "999"}, {"N", "999"},         {"LEVEL", "1"}};
    const char* value = "x";
    for (const auto& [name, given] : kValues) {
      if (word == name) value = given;
    }
    line += std::string(" ") + value;
  }
  return line;
}

class PanelRoleMatrixTest : public PanelEndToEndTest {
 protected:
  void SetUp() override {
    std::string hash = *hashPassword("secret");
    std::string users;
    for (size_t i = 0; i < kRoles.size(); ++i) {
      for (const char* server : {"here", "elsewhere"}) {
        std::string role = "r" + std::to_string(i) + server;
        users += "role " + role + " " + kRoles[i] + " " + server + "\n" + role + " " + role + " " +
                 hash + "\n";
      }
    }
    dir_.write("users", users);
    std::string path = dir_.path() + "/users";
    chmod(path.c_str(), 0600);
    startClient({"--http=127.0.0.1:0", "--http-users=" + path, "--server-name=here",
                 "--db=" + dir_.path() + "/records.db"},
                true);
    int port = portOf(*client_, "Panel");
    ASSERT_NE(port, 0) << client_->output() << client_->errorOutput();
    ASSERT_TRUE(acceptLogin(peer_, {{3, "Bob"}}));
    http_ = std::make_unique<httplib::Client>("127.0.0.1", port);
    http_->set_read_timeout(10, 0);
  }

  // The error of an action, every argument any act takes given.
  std::string actError(const WebUser& user, const Act& act) {
    json body = {{"action", act.name}, {"name", "Nobody"}, {"ban", 999},    {"report", 999},
                 {"appeal", 999},      {"duration", "1h"}, {"reason", "x"}, {"text", "x"}};
    httplib::Result result =
        http_->Post("/api/actions", headersOf(user), body.dump(), "application/json");
    if (!result) return "no answer";
    return json::parse(result->body).value("error", "");
  }

  std::unique_ptr<httplib::Client> http_;
};

TEST_F(PanelRoleMatrixTest, EveryRoleActAndServerAgreesAtTheApiAndTheConsole) {
  int checked = 0;
  std::vector<std::string> mismatches;
  std::vector<std::pair<std::string, bool>> typed;  // refusal, expected
  for (size_t i = 0; i < kRoles.size(); ++i) {
    for (bool reaches : {true, false}) {
      std::string role = "r" + std::to_string(i) + (reaches ? "here" : "elsewhere");
      std::optional<WebUser> user = logIn(*http_, role, "secret");
      ASSERT_TRUE(user) << role;
      bool commands = reaches && kRoles[i].starts_with("command");
      for (const Act& act : allActs()) {
        bool allowed = reaches && lists(kRoles[i], act);
        if ((act.doors & kPanelDoor) != 0) {
          bool refused = actError(*user, act) == refusalOf(role, act);
          if (refused == allowed) mismatches.push_back(role + " at the API: " + act.name);
          ++checked;
        }
        if (!commands || (act.doors & kConsoleDoor) == 0 || *act.word == '\0') continue;
        json body = {{"action", "command"}, {"line", lineOf(act)}};
        ASSERT_EQ(
            http_->Post("/api/actions", headersOf(*user), body.dump(), "application/json")->status,
            200);
        typed.emplace_back("* ." + std::string(act.word) + ": " + refusalOf(role, act), !allowed);
      }
    }
  }
  // The console lines run in order: once the last shows, all have.
  std::optional<WebUser> last = logIn(*http_, "r3here", "secret");
  json marker = {{"action", "command"}, {"line", ".history Marker"}};
  ASSERT_EQ(
      http_->Post("/api/actions", headersOf(*last), marker.dump(), "application/json")->status,
      200);
  ASSERT_TRUE(client_->waitForLine("* panel:r3here: .history Marker", 10000));
  for (const auto& [refusal, expected] : typed) {
    bool refused = client_->output().find(refusal) != std::string::npos;
    if (refused != expected) mismatches.push_back("at the console: " + refusal);
    ++checked;
  }
  EXPECT_GT(checked, 150);
  EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " mismatches, the first "
                                  << mismatches.front() << "\n"
                                  << client_->output();
}

}  // namespace
}  // namespace gsadmin::testing
