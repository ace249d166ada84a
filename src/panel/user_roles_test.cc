#include "panel/user_roles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/act.h"
#include "panel/users_file.h"

namespace gsadmin {
namespace {

const std::string kHash = "$argon2id$v=19$m=19456,t=2,p=1$c2FsdHNhbHRzYWx0$aGFzaGhhc2hoYXNo";

TEST(UserRolesTest, RoleLinesAndAccountsOfThemAreReadOrRefusedByLine) {
  const struct {
    std::string text;
    std::string error;  // empty: read
  } cases[] = {
      {"role trial kick,tempban:1d,note\ntina trial " + kHash, ""},
      {"tina trial " + kHash + "\nrole trial kick", ""},  // a role may come after
      {"role ops command,ban-reason east,west\nola ops " + kHash, ""},
      {"al admin " + kHash + "\nmo moderator " + kHash, ""},
      {"role trial nuke\ntina trial " + kHash, "line 1: role trial: no act is named 'nuke'"},
      {"role trial tempban:soon\n", "line 1: role trial: no act is named 'tempban:soon'"},
      {"role r read:audit,read:report-show,read:*\nrita r " + kHash, ""},
      {"role r read:nuke\n", "line 1: role r: no act is named 'read:nuke'"},
      {"role r read:kick\n", "line 1: role r: no act is named 'read:kick'"},
      {"role r report-show\n", "line 1: role r: a read is written 'read:report-show'"},
      {"role admin kick\n",
       "line 1: a role's name is 1 to 32 letters, digits, '_' or '-', and not a level's"},
      {"role 3 kick\n",
       "line 1: a role's name is 1 to 32 letters, digits, '_' or '-', and not a level's"},
      {"role trial\n", "line 1: expected role NAME PERM,PERM,... [SERVER,SERVER,...]"},
      {"role t kick\nrole t note\n", "line 2: a role given twice"},
      {"role t kick a,,b\n", "line 1: role t: an empty server name"},
      {"tina trial " + kHash, "line 1: a level is 1 to 4, or a role of the file"},
  };
  for (const auto& c : cases) {
    std::string error;
    std::optional<std::vector<PanelAccount>> accounts = parseUsers(c.text, &error);
    EXPECT_EQ(accounts.has_value(), c.error.empty()) << c.text << ": " << error;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(UserRolesTest, AnAccountOfARoleKeepsItsNameWhenItsLineIsWrittenAgain) {
  std::string error;
  auto accounts = parseUsers("role trial kick,tempban:1d\ntina trial " + kHash, &error);
  ASSERT_TRUE(accounts) << error;
  const PanelAccount& tina = (*accounts)[0];
  ASSERT_TRUE(tina.grants);
  EXPECT_EQ(tina.role, "trial");
  EXPECT_EQ(tina.level, kSeniorLevel);
  EXPECT_EQ(tina.grants->maxTempbanSeconds, 86400);
  EXPECT_EQ(usersFileLine(tina), "tina trial " + kHash);
}

// Every role of a set against every act of the table, on this server and
// another: an act, a read among them, is allowed exactly when it is one of
// the role's permissions and the role reaches the server.
TEST(UserRolesTest, TheMatrixOfRolesActsAndServersHasNoMismatch) {
  const std::vector<std::vector<std::string>> roles = {
      {"kick"},
      {"tempban", "note", "read:history"},
      {"ban", "unban", "ban reason", "ban length", "read:bans", "read:audit"},
      {"command", "chat", "message", "read:*"},
      {"warn", "kick", "report claim", "report close", "appeal accept", "read:report show"},
  };
  int checked = 0;
  int mismatches = 0;
  for (const std::vector<std::string>& perms : roles) {
    auto lists = [&perms](const std::string& perm) {
      return std::find(perms.begin(), perms.end(), perm) != perms.end();
    };
    for (const char* server : {"", "east"}) {
      std::string list;
      for (const std::string& perm : perms) {
        std::string written = perm;
        std::replace(written.begin(), written.end(), ' ', '-');
        list += (list.empty() ? "" : ",") + written;
      }
      std::vector<std::string_view> fields = {"role", "r", list};
      if (*server) fields.push_back(server);
      std::string reason;
      std::optional<ActGrants> grants = parseRole(fields, &reason);
      ASSERT_TRUE(grants) << reason;
      for (const char* here : {"east", "west"}) {
        Actor actor{Actor::Kind::kPanel, "tina", levelOfRole(*grants), std::nullopt};
        actor.grants = std::make_shared<ActGrants>(*grants);
        if (!grants->reaches(here)) actor.grants = std::make_shared<ActGrants>();
        for (const Act& act : allActs()) {
          std::string name = act.name;
          bool listed = act.read ? lists("read:" + name) || lists("read:*") : lists(name);
          bool expected = listed && grants->reaches(here);
          mismatches += permissionRefusal(act, actor).empty() != expected;
          ++checked;
        }
        mismatches += mayCommand(actor) != (lists("command") && grants->reaches(here));
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 200);
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace gsadmin
