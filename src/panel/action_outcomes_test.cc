#include "panel/action_outcomes.h"

#include <gtest/gtest.h>

#include "support/manual_clock.h"

namespace gsadmin {
namespace {

using Claim = ActionOutcomes::Claim;
using State = LoopTask::State;

constexpr uint64_t kDeadlineMs = 5000;

class ActionOutcomesTest : public ::testing::Test {
 protected:
  // Claims `id` of `account` for `action`; a new task counts one start.
  ActionOutcomes::Claimed claim(const std::string& account, const std::string& id,
                                const std::string& action = "kick 3") {
    return outcomes_.claim(account, id, action, [this]() {
      ++starts_;
      return queue_.post([this]() { return std::to_string(++runs_); },
                         clock_.nowMs() + kDeadlineMs);
    });
  }

  ManualClock clock_;
  LoopQueue queue_{clock_};
  ActionOutcomes outcomes_{clock_};
  int starts_ = 0;
  int runs_ = 0;
};

TEST_F(ActionOutcomesTest, AnIdIsStartedOnceAndAnsweredWithItsOutcomeAfter) {
  ActionOutcomes::Claimed first = claim("alice", "a1");
  ASSERT_EQ(first.claim, Claim::kStarted);
  // Asked again while pending, and after it ran: the same task, never a new one.
  ActionOutcomes::Claimed again = claim("alice", "a1");
  EXPECT_EQ(again.claim, Claim::kKnown);
  EXPECT_EQ(again.task, first.task);
  EXPECT_EQ(queue_.runPending(), 1u);
  EXPECT_EQ(claim("alice", "a1").task->result(), "1");
  EXPECT_EQ(outcomes_.find("alice", "a1"), first.task);
  EXPECT_EQ(starts_, 1);
  EXPECT_EQ(runs_, 1);

  // Ids are each account's own; an id names one action.
  EXPECT_EQ(outcomes_.find("mia", "a1"), nullptr);
  EXPECT_EQ(claim("mia", "a1").claim, Claim::kStarted);
  EXPECT_EQ(claim("alice", "a1", "ban 3").claim, Claim::kOtherAction);
  EXPECT_EQ(starts_, 2);
}

TEST_F(ActionOutcomesTest, AnActionWithdrawnUnrunMayBeAskedForOnceMore) {
  ActionOutcomes::Claimed first = claim("alice", "a1");
  clock_.advance(kDeadlineMs + 1);
  // Past its deadline: withdrawn when next looked at, though the loop never
  // came to it.
  EXPECT_EQ(outcomes_.find("alice", "a1")->state(), State::kWaiting);
  ActionOutcomes::Claimed retry = claim("alice", "a1");
  EXPECT_EQ(first.task->state(), State::kWithdrawn);
  EXPECT_EQ(retry.claim, Claim::kStarted);
  EXPECT_EQ(queue_.runPending(), 1u);
  EXPECT_EQ(retry.task->result(), "1");
  EXPECT_EQ(claim("alice", "a1").claim, Claim::kKnown);
  EXPECT_EQ(runs_, 1);
}

TEST_F(ActionOutcomesTest, EachAccountKeepsItsRecentOutcomesAndNeverForgetsAPendingOne) {
  for (size_t i = 0; i < ActionOutcomes::kPerAccount; ++i) {
    ASSERT_EQ(claim("alice", "p" + std::to_string(i)).claim, Claim::kStarted) << i;
  }
  EXPECT_EQ(claim("alice", "more").claim, Claim::kFull);
  EXPECT_EQ(claim("mia", "more").claim, Claim::kStarted) << "another account's table";
  EXPECT_EQ(queue_.runPending(), ActionOutcomes::kPerAccount + 1);
  // Full of ended actions: the oldest goes.
  EXPECT_EQ(claim("alice", "more").claim, Claim::kStarted);
  EXPECT_EQ(outcomes_.find("alice", "p0"), nullptr);
  ASSERT_NE(outcomes_.find("alice", "p1"), nullptr);
  EXPECT_EQ(outcomes_.find("alice", "p1")->result(), "2");

  // An hour on, the ended ones go.
  EXPECT_EQ(queue_.runPending(), 1u);
  clock_.advance(ActionOutcomes::kKeepMs + 1);
  ASSERT_EQ(claim("alice", "new").claim, Claim::kStarted);
  EXPECT_EQ(outcomes_.find("alice", "p1"), nullptr);
  EXPECT_EQ(outcomes_.find("alice", "more"), nullptr);
  EXPECT_NE(outcomes_.find("alice", "new"), nullptr);
}

}  // namespace
}  // namespace gsadmin
