#include "panel/read_limits.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace gsadmin {
namespace {

using Refusal = ReadLimits::Refusal;

TEST(ReadLimitsTest, TwoPerLoginAndEightInAllUntilAPlaceIsFreed) {
  ReadLimits limits;
  struct Step {
    const char* login;
    Refusal expected;
  };
  // a and b take two each; a's third is refused, c takes two and d two,
  // which fills the eight; e's first is refused for the panel.
  const Step steps[] = {
      {"a", Refusal::kNone},    {"a", Refusal::kNone},      {"a", Refusal::kLoginBusy},
      {"b", Refusal::kNone},    {"b", Refusal::kNone},      {"c", Refusal::kNone},
      {"c", Refusal::kNone},    {"d", Refusal::kNone},      {"d", Refusal::kNone},
      {"e", Refusal::kAllBusy}, {"d", Refusal::kLoginBusy},
  };
  std::vector<std::shared_ptr<ReadSlot>> held;
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.login) + " after " + std::to_string(held.size()));
    Refusal refusal = Refusal::kNone;
    std::shared_ptr<ReadSlot> slot = limits.admit(step.login, &refusal);
    EXPECT_EQ(refusal, step.expected);
    EXPECT_EQ(slot != nullptr, step.expected == Refusal::kNone);
    if (slot) held.push_back(slot);
  }
  EXPECT_EQ(limits.inFlight(), ReadLimits::kInAll);
  EXPECT_EQ(limits.inFlightOf("a"), ReadLimits::kPerLogin);

  // One of a's places freed: e may read, and a may not (the panel is full
  // again).
  held.erase(held.begin());
  EXPECT_EQ(limits.inFlightOf("a"), 1u);
  Refusal refusal = Refusal::kNone;
  std::shared_ptr<ReadSlot> e = limits.admit("e", &refusal);
  EXPECT_NE(e, nullptr);
  EXPECT_EQ(limits.admit("a", &refusal), nullptr);
  EXPECT_EQ(refusal, Refusal::kAllBusy);

  held.clear();
  e.reset();
  EXPECT_EQ(limits.inFlight(), 0u);
  EXPECT_EQ(limits.inFlightOf("a"), 0u);
  EXPECT_NE(limits.admit("a", &refusal), nullptr);
}

}  // namespace
}  // namespace gsadmin
