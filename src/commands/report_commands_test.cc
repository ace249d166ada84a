// Players' reports on an in-memory session: "!report" said in game and the
// operator's ".report" lines; what they print, send, fire and refuse.

#include <gtest/gtest.h>

#include "commands/commands.h"
#include "protocol/outbound.h"
#include "support/session_harness.h"

namespace gsadmin {
namespace {

using testing::Datagram;
using testing::SessionHarness;

// A script that prints every onPlayerReport it gets.
constexpr const char* kEventScript =
    "function reported(id, reporter, target, reason)\n"
    "  print('event ' .. table.concat({id, reporter, target, reason}, ','))\n"
    "end\n"
    "addEventHandler('onPlayerReport', 'reported')\n";

Datagram message(int id, const std::string& text) {
  return buildChatFrame("/msg #" + std::to_string(id) + " " + text);
}

// Alice (1), a moderator in game, Bob (3), Bobby (5) and "Bob Smith" (7).
class ReportCommandsTest : public ::testing::Test {
 protected:
  ReportCommandsTest() : harness_(std::string(kEventScript)) {
    harness_.connect();
    join(1, "Alice", "key-a1");
    join(3, "Bob", "key-b3");
    join(5, "Bobby", "key-b5");
    join(7, "Bob Smith", "key-s7");
    harness_.session().handleTypedLine(".admin add Alice 1");
    harness_.sent();
    harness_.output();
  }

  void join(uint8_t id, const std::string& name, const std::string& details) {
    harness_.deliver(testing::playerJoined(id, name));
    harness_.deliver(testing::playerDetails(id, details));
  }
  // What the player `id` saying `text` printed (after its own chat line)
  // and sent.
  std::pair<std::string, std::vector<Datagram>> say(uint8_t id, const std::string& text) {
    harness_.deliver(testing::chatLine(id, 1, text));
    std::string output = harness_.output();
    return {output.substr(output.find('\n') + 1), harness_.sent()};
  }
  std::string type(const std::string& line) {
    harness_.session().handleTypedLine(line);
    harness_.sent();
    return harness_.output();
  }

  SessionHarness harness_;
};

TEST_F(ReportCommandsTest, AReportTellsTheAdminsOnceAndTheReporterOnce) {
  auto [output, sent] = say(3, "!report Bobby aimbot");
  EXPECT_EQ(output, "* Report #1: Bobby by Bob: aimbot\nevent 1,Bob,Bobby,aimbot\n");
  EXPECT_EQ(sent,
            (std::vector<Datagram>{message(1, "Report #1: Bobby by Bob: aimbot"),
                                   message(3, "Report #1 on Bobby taken: the admins are told")}));
  // A second report of Bobby joins the first; the admins hear of it.
  auto [joined, told] = say(7, "!report 5 wallhack");
  EXPECT_EQ(joined,
            "* Report #1: Bobby by Bob Smith: wallhack (2 reporters)\n"
            "event 1,Bob Smith,Bobby,wallhack\n");
  EXPECT_EQ(told.size(), 2u);
  EXPECT_EQ(type(".reports"), "* #1 Bobby by Bob (+1 more) aimbot, open\n");
}

TEST_F(ReportCommandsTest, RefusalsSayWhyAndRecordNothing) {
  const struct {
    uint8_t id;
    std::string said;
    std::string answer;
  } cases[] = {
      {5, "!report Zed cheats",
       "!report: Zed is not on the server and was not seen in the last hour"},
      {5, "!report Bobby cheats", "!report: you may not report yourself"},
      {5, "!report Bob", "!report: a reason is needed"},
      {5, "!report Bob " + std::string(300, ' '), "!report: a reason is needed"},
      // A refused report takes no turn of the cooldown: this one is taken...
      {5, "!report Bob spam", "Report #1 on Bob taken: the admins are told"},
      // ... and the next, a moment later, waits.
      {5, "!report Alice spam", "!report: one report a 1m; you may report again in 1m"},
  };
  for (const auto& c : cases) {
    std::vector<Datagram> sent = say(c.id, c.said).second;
    ASSERT_FALSE(sent.empty()) << c.said;
    EXPECT_EQ(sent.back(), message(c.id, c.answer)) << c.said;
  }
  EXPECT_EQ(type(".reports"), "* #1 Bob by Bobby spam, open\n");
  EXPECT_EQ(type(".report claim 7"), "* .report claim: there is no report #7\n");
  EXPECT_EQ(type(".report close 1 #99 done"), "* .report close: there is no sanction #99\n");
  EXPECT_EQ(type(".report close 1 #x"),
            "* .report close: #SANCTION is a sanction's number, such as #12\n");
  EXPECT_EQ(type(".report show"), "* .report show: a report's number is needed (#12 or 12)\n");
}

TEST_F(ReportCommandsTest, APlayerWhoLeftIsReportedByTheNameLastSeen) {
  harness_.deliver(testing::playerLeft(0, 5));
  harness_.output();
  auto [output, sent] = say(7, "!report bobby camping");
  EXPECT_EQ(output, "* Report #1: Bobby by Bob Smith: camping\nevent 1,Bob Smith,Bobby,camping\n");
  // The operator's report: no answer in game, the console has its line.
  EXPECT_EQ(type(".report Bob flood"),
            "* Report #2: Bob by Admin: flood\nevent 2,Admin,Bob,flood\n");
  EXPECT_EQ(type(".reports"),
            "* #1 Bobby by Bob Smith camping, open\n* #2 Bob by Admin flood, open\n");
  EXPECT_EQ(type(".report claim #1"), "* console:Admin claimed report #1 on Bobby\n");
  EXPECT_EQ(type(".report close 1 no action needed"),
            "* console:Admin closed report #1 on Bobby with no action: no action needed\n");
  EXPECT_EQ(type(".report claim 1"), "* .report claim: report #1 is closed\n");
  EXPECT_EQ(type(".reports"), "* #2 Bob by Admin flood, open\n");
}

}  // namespace
}  // namespace gsadmin
