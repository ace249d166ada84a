// The one-shot run's waits on hand-given times: the login within the connect
// timeout, and the server's answer to the commands.

#include "session/one_shot_watch.h"

#include <gtest/gtest.h>

#include "protocol/wire.h"

namespace gsadmin {
namespace {

TEST(OneShotWatchTest, GivesUpALoginNotAcceptedInTimeOrRefused) {
  OneShotWatch late;
  late.start(10000, 1000);
  EXPECT_EQ(late.loginFailure(10999), std::nullopt);
  EXPECT_EQ(late.msUntilChange(10999), 1u);
  late.datagramReceived(wire::kKeepAliveRequestId);  // talking is not accepting
  EXPECT_EQ(late.loginFailure(11000), SessionEnd::kNotConnectedInTime);

  OneShotWatch refused;
  refused.start(10000, 0);
  refused.datagramReceived(wire::kDisconnectId);
  EXPECT_EQ(refused.loginFailure(1), SessionEnd::kLoginRefused);

  OneShotWatch accepted;
  accepted.start(10000, 0);
  accepted.datagramReceived(wire::kConnectionAcceptedId);
  accepted.datagramReceived(wire::kDisconnectId);  // a later drop is no refusal
  EXPECT_EQ(accepted.loginFailure(50000), std::nullopt);
  EXPECT_EQ(accepted.msUntilChange(50000), std::nullopt);

  OneShotWatch patient;
  patient.start(0, 0);
  patient.datagramReceived(wire::kDisconnectId);
  EXPECT_EQ(patient.loginFailure(1000000), std::nullopt);
  EXPECT_EQ(patient.msUntilChange(1000000), std::nullopt);
}

TEST(OneShotWatchTest, CommandsWaitForADatagramOrTheAnswerWait) {
  OneShotWatch watch;
  watch.start(0, 0);
  EXPECT_TRUE(watch.commandsAnswered(0));
  watch.commandSent(100);
  EXPECT_FALSE(watch.commandsAnswered(100));
  EXPECT_EQ(watch.msUntilChange(600), OneShotWatch::kAnswerWaitMs - 500);
  watch.datagramReceived(wire::kKeepAliveRequestId);  // the server's own, no answer
  EXPECT_FALSE(watch.commandsAnswered(700));
  watch.datagramReceived(wire::kChatId);
  EXPECT_TRUE(watch.commandsAnswered(700));

  watch.commandSent(1000);
  EXPECT_FALSE(watch.commandsAnswered(1000 + OneShotWatch::kAnswerWaitMs - 1));
  EXPECT_TRUE(watch.commandsAnswered(1000 + OneShotWatch::kAnswerWaitMs));
  EXPECT_EQ(watch.msUntilChange(1000 + OneShotWatch::kAnswerWaitMs), std::nullopt);
}

}  // namespace
}  // namespace gsadmin
