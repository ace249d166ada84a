// The moderation rules through the real client against the real simulator:
// a flooding player climbs the ladder (warned, kicked, tempbanned, each
// audited as rule:flood), a team killer is kicked at the third team kill,
// and the same rules replayed on the client's own log decide the same.

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/client_process.h"
#include "support/console_lines.h"

namespace gsadmin::testing {
namespace {

const char kRules[] = R"(# The rules under test.
[[rule]]
name = "flood"
kind = "flood"
lines = 5
seconds = 10
acts = ["warn", "kick", "tempban 1h"]
window = "10m"
message = "Slow down, {name}."

[[rule]]
name = "teamkill"
kind = "teamkill"
kills = 3
seconds = "10m"
acts = ["kick"]

[[rule]]
name = "names"
kind = "name"
patterns = ["(?i)admin"]
acts = ["kick"]

[[rule]]
name = "impostor"
kind = "name"
like_admins = true
acts = ["kick"]
)";

// Spam floods three times (rejoining after the kick); [RED]Ann kills her
// team mate three times, a foe between; NewAdmin joins with a name the
// rules refuse, and WARDEN with one like the admin in game Warden's.
const char kScenario[] = R"(server-name Rules Test
online Ann key k-ann
online Spam key k-spam
online [RED]Ann key k-red1
online [RED]Bo key k-red2
online [BLU]Cy key k-blu
online OldAdmin key k-old
online Warden key k-warden
0.5  chat Ann ready
1.0  chat Spam one
1.1  chat Spam two
1.2  chat Spam three
1.3  chat Spam four
1.4  chat Spam five
2.0  chat Spam six
2.1  chat Spam seven
2.2  chat Spam eight
2.3  chat Spam nine
2.4  chat Spam ten
3.0  quit Spam
3.5  join Spam key k-spam
4.5  chat Spam again1
4.6  chat Spam again2
4.7  chat Spam again3
4.8  chat Spam again4
4.9  chat Spam again5
5.5  kill [RED]Ann [RED]Bo M4
5.6  kill [RED]Ann [BLU]Cy M4
5.7  kill [RED]Ann [RED]Bo M4
5.8  kill [RED]Ann [RED]Bo M4
6.0  join NewAdmin key k-new
6.2  join WARDEN key k-fake
6.5  chat Ann done
7    end
)";

// The "RULE ..." lines of a console log, without their stamps.
std::vector<std::string> ruleLines(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    size_t at = line.find("] RULE ");
    if (line.starts_with("[") && at != std::string::npos) lines.push_back(line.substr(at + 2));
  }
  return lines;
}

// The "* " lines that answer `command`, up to one holding `last`, their
// stamps taken off.
std::string stampedAnswer(ClientProcess& client, const std::string& command,
                          const std::string& last) {
  client.writeInput(command + "\n");
  std::string lines;
  while (std::optional<std::string> line = client.nextLine()) {
    size_t at = line->find("] * ");
    if (at == std::string::npos) continue;
    lines += line->substr(at + 2) + "\n";
    if (line->find(last) != std::string::npos) break;
  }
  return lines;
}

// The same rules on the client's own log `output`, without a server, with
// the admins in game of its `database` (--db=...), decide as it did.
void expectReplayAgrees(TempDir& dir, const std::string& output, const std::string& database) {
  std::vector<std::string> live = ruleLines(output);
  ASSERT_EQ(live.size(), 6u) << output;
  dir.write("client.log", output);
  ClientProcess replay(
      {"--rules=" + dir.path() + "/rules.toml", "--replay=" + dir.path() + "/client.log", database},
      std::nullopt);
  EXPECT_EQ(replay.waitExit(), 0);
  replay.readToEnd();
  EXPECT_EQ(ruleLines(replay.output()), live) << replay.output();
}

TEST(RulesEndToEndTest, AFlooderClimbsTheLadderATeamKillerIsKickedAndReplayAgrees) {
  TempDir dir;
  dir.write("scenario.txt", kScenario);
  dir.write("rules.toml", kRules);
  ClientProcess sim({"--port", "0", "--scenario", dir.path() + "/scenario.txt", "--once"},
                    std::nullopt, GSADMIN_SIM_PATH);
  uint16_t port = listeningPort(sim);
  ASSERT_NE(port, 0) << sim.output();

  std::string database = "--db=" + dir.path() + "/records.db";
  // The simulator's details hold names alone: an admin in game is bound
  // to the name.
  ClientProcess client({"--timestamps", "--rules=" + dir.path() + "/rules.toml", database,
                        "--trust-names", "127.0.0.1", std::to_string(port), "Admin", "73519"},
                       std::nullopt, ClientProcess::defaultBinary(), std::nullopt, dir.path(),
                       ClientProcess::Input::kPipe);
  ASSERT_TRUE(client.waitForLine("Successfully connected")) << client.output();
  // Before the first line of the match, a second from now.
  EXPECT_EQ(stampedAnswer(client, ".admin add Warden 1", "Warden"),
            "* console:Admin made Warden an admin of level 1\n");
  ASSERT_TRUE(client.waitForLine("RULE flood: warn Spam (5 lines in 10s: \"five\")"))
      << client.output();
  EXPECT_TRUE(client.waitForLine("RULE flood: kick Spam (5 lines in 10s: \"ten\")"))
      << client.output();
  EXPECT_TRUE(client.waitForLine("RULE flood: tempban 1h Spam (5 lines in 10s: \"again5\")"))
      << client.output();
  EXPECT_TRUE(
      client.waitForLine("RULE teamkill: kick [RED]Ann (3 team kills in 10m: killed "
                         "[RED]Bo)"))
      << client.output();
  // Judged at its join; OldAdmin, there at the login, is not.
  EXPECT_TRUE(client.waitForLine("RULE names: kick NewAdmin (name matches \"(?i)admin\")"))
      << client.output();
  EXPECT_TRUE(
      client.waitForLine("RULE impostor: kick WARDEN (name looks like the admin \"Warden\")"))
      << client.output();
  ASSERT_TRUE(client.waitForLine("Ann: done")) << client.output();

  std::string audit = stampedAnswer(client, ".audit 6", "rule:flood warn Spam");
  EXPECT_NE(audit.find("rule:teamkill kick [RED]Ann"), std::string::npos) << audit;
  EXPECT_NE(audit.find("rule:flood tempban Spam"), std::string::npos) << audit;
  EXPECT_NE(audit.find("rule:flood kick Spam"), std::string::npos) << audit;
  std::string listing = stampedAnswer(client, ".rules", "teamkill (teamkill)");
  EXPECT_NE(listing.find("flood (flood): warn, kick, tempban 1h; 3 match(es) in the last hour"),
            std::string::npos)
      << listing;
  client.kill(SIGTERM);
  EXPECT_EQ(client.waitExit(), 0);
  EXPECT_EQ(sim.waitExit(20000), 0);
  sim.readToEnd();
  EXPECT_EQ(occurrences(sim.output(), "admin message to Spam (id 1): Slow down, Spam."), 3)
      << sim.output();

  expectReplayAgrees(dir, client.output(), database);
}

TEST(RulesEndToEndTest, ABadRuleFileIsRefusedAtStartWithItsLine) {
  TempDir dir;
  dir.write("rules.toml",
            "[[rule]]\nname = \"a\"\nkind = \"flood\"\nlines = 5\nseconds = 10\n"
            "acts = [\"warn\", \"jail\"]\n");
  ClientProcess client({"--rules=" + dir.path() + "/rules.toml", "127.0.0.1", "1", "A", "B"},
                       std::nullopt);
  EXPECT_EQ(client.waitExit(), 2);
  EXPECT_EQ(client.errorOutput(),
            "gsadmin: --rules: " + dir.path() +
                "/rules.toml:6: unknown act \"jail\": warn, kick, tempban DURATION, ban, message "
                "or admins\n");
}

}  // namespace
}  // namespace gsadmin::testing

namespace gsadmin::testing {
namespace {

TEST(RulesEndToEndTest, NextPrintsEachEntrysTimesAndABadScheduleIsRefused) {
  TempDir dir;
  dir.write("schedule.toml",
            "[[schedule]]\nname = \"noon\"\nat = \"0 12 * * *\"\n"
            "chat = \"Lunch\"\n");
  ClientProcess next({"--schedule=" + dir.path() + "/schedule.toml", "--next=3"}, std::nullopt);
  EXPECT_EQ(next.waitExit(), 0);
  next.readToEnd();
  EXPECT_EQ(occurrences(next.output(), "noon: "), 3) << next.output();
  EXPECT_EQ(occurrences(next.output(), " 12:00 UTC (2"), 3) << next.output();

  dir.write("schedule.toml", "[[schedule]]\nname = \"spam\"\nat = \"* * * * *\"\nchat = \"x\"\n");
  ClientProcess bad({"--schedule=" + dir.path() + "/schedule.toml", "127.0.0.1", "1", "A", "B"},
                    std::nullopt);
  EXPECT_EQ(bad.waitExit(), 2);
  EXPECT_EQ(bad.errorOutput(), "gsadmin: --schedule: " + dir.path() +
                                   "/schedule.toml:3: \"* * * * *\" fires every minute: say "
                                   "every_minute = true if meant\n");
}

}  // namespace
}  // namespace gsadmin::testing
