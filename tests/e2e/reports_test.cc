// Players' reports through the real client against the real simulator: a
// player reports another, who then leaves; a flood of reports from one
// player is cut by the cooldown; a second reporter joins the report of the
// player who left; the operator claims it, tempbans, and closes it with the
// ban's number, and the audit holds the chain.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/client_process.h"
#include "support/console_lines.h"

namespace gsadmin::testing {
namespace {

// Ann reports Troll, then twice more at once (the cooldown refuses both);
// Troll leaves; Cy reports Troll by the name last seen.
const char kScenario[] = R"(server-name Reports Test
online Ann key k-ann
online Troll key k-troll
online Cy key k-cy
0.5  chat Troll ez
0.6  kill Troll Ann M4
1.0  chat Ann !report Troll aimbot
1.2  chat Ann !report Troll again
1.3  chat Ann !report Cy spam too
1.5  chat Troll lol
2.0  quit Troll
2.5  chat Cy !report Troll wallhack
3.0  chat Ann done
60   end
)";

TEST(ReportsEndToEndTest, AReportIsClaimedAndClosedWithTheBanItLedTo) {
  TempDir dir;
  dir.write("scenario.txt", kScenario);
  ClientProcess sim({"--port", "0", "--scenario", dir.path() + "/scenario.txt", "--once"},
                    std::nullopt, GSADMIN_SIM_PATH);
  uint16_t port = listeningPort(sim);
  ASSERT_NE(port, 0) << sim.output();

  ClientProcess client({"127.0.0.1", std::to_string(port), "Admin", "73519"}, std::nullopt,
                       ClientProcess::defaultBinary(), std::nullopt, dir.path(),
                       ClientProcess::Input::kPipe);
  ASSERT_TRUE(client.waitForLine("* Report #1: Troll by Ann: aimbot")) << client.output();
  ASSERT_TRUE(client.waitForLine("* Report #1: Troll by Cy: wallhack (2 reporters)"))
      << client.output();
  ASSERT_TRUE(client.waitForLine("Ann: done")) << client.output();
  const std::string& log = client.output();
  EXPECT_EQ(occurrences(log, "PM SENT: Ann: Report #1 on Troll taken: the admins are told"), 1)
      << log;
  EXPECT_EQ(occurrences(log, "PM SENT: Ann: !report: one report a 1m; you may report again in "), 2)
      << log;
  EXPECT_EQ(occurrences(log, "* Report #"), 2) << log;

  // Troll has left: the report still names him.
  EXPECT_EQ(answer(client, ".reports", "#1"), "* #1 Troll by Ann (+1 more) aimbot, open\n");
  EXPECT_EQ(answer(client, ".report claim 1", "claimed"),
            "* console:Admin claimed report #1 on Troll\n");
  ASSERT_NE(answer(client, ".tempban Troll 1h aimbot", "banned").find("banned Troll for 1h"),
            std::string::npos);
  std::string bans = answer(client, ".bans", "Troll");
  std::smatch number;
  ASSERT_TRUE(std::regex_search(bans, number, std::regex(R"(\* #(\d+) Troll, until )"))) << bans;
  std::string ban = number[1];
  EXPECT_EQ(answer(client, ".report close 1 #" + ban + " seen in the evidence", "closed"),
            "* console:Admin closed report #1 on Troll with sanction #" + ban +
                ": seen in the evidence\n");
  EXPECT_EQ(answer(client, ".report close 1", "report #1"),
            "* .report close: report #1 is closed already\n");
  EXPECT_EQ(answer(client, ".reports", "reports"), "* no open reports\n");

  std::string audit = answer(client, ".audit 5", "game:Ann report Troll");
  EXPECT_TRUE(std::regex_search(
      audit, std::regex("\\* #" + ban +
                        " .* UTC console:Admin report close Troll on .*: #1: sanction #" + ban +
                        ": seen in the evidence\n"
                        "\\* #" +
                        ban +
                        " .* UTC console:Admin tempban Troll on .*: 1h: aimbot\n"
                        "\\* .* UTC console:Admin report claim Troll on .*: #1\n"
                        "\\* .* UTC game:Cy report Troll on .*: #1: wallhack\n"
                        "\\* .* UTC game:Ann report Troll on .*: #1: aimbot\n")))
      << audit;

  std::string shown = answer(client, ".report show 1", "reported by");
  EXPECT_NE(shown.find("* #1 Troll by Ann (+1 more) aimbot, closed with sanction #" + ban +
                       ": seen in the evidence\n"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("* reported by Ann, Cy\n"), std::string::npos) << shown;
}

}  // namespace
}  // namespace gsadmin::testing
