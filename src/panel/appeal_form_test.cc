// The appeal form as POST /api/appeals takes it, as JSON and as a form,
// and the throttle that bounds appeals per address and per ban on the
// injected clock.

#include <gtest/gtest.h>

#include "panel/appeal_throttle.h"
#include "panel/public_site.h"
#include "support/manual_clock.h"

namespace gsadmin {
namespace {

httplib::Request jsonRequest(const std::string& body) {
  httplib::Request request;
  request.set_header("Content-Type", "application/json");
  request.body = body;
  return request;
}

httplib::Request formRequest(const std::string& ban, const std::string& name,
                             const std::string& text) {
  httplib::Request request;
  request.set_header("Content-Type", "application/x-www-form-urlencoded");
  request.params.emplace("ban", ban);
  request.params.emplace("name", name);
  request.params.emplace("text", text);
  return request;
}

constexpr char kBanNeeded[] = "ban is the ban's number, such as 12";
constexpr char kNameNeeded[] = "name is the banned name, of 1 to 64 bytes";
constexpr char kTextNeeded[] = "text is needed, at most 2000 characters";
constexpr char kNotJson[] = "an appeal is a JSON object of \"ban\", \"name\" and \"text\"";

TEST(AppealFormTest, TakesJsonAndFormsAndRefusesWhatIsMalformed) {
  // 2 000 characters of two bytes each pass; one more does not.
  std::string accents;
  for (int i = 0; i < 2000; ++i) accents += "\xc3\xa9";
  struct Case {
    httplib::Request request;
    std::string error;  // empty: taken
    int64_t ban = 0;
  };
  const Case cases[] = {
      {jsonRequest(R"({"ban":12,"name":"Bob","text":"sorry"})"), "", 12},
      {jsonRequest(R"({"ban":"#12","name":"Bob","text":"line\nbreak"})"), "", 12},
      {jsonRequest("{\"ban\":\"12\",\"name\":\"Bob\",\"text\":\"" + accents + "\"}"), "", 12},
      {jsonRequest("{\"ban\":\"12\",\"name\":\"Bob\",\"text\":\"" + accents + "e\"}"), kTextNeeded},
      {jsonRequest(R"({"ban":12,"name":"Bob","text":"  \n "})"), kTextNeeded},
      {jsonRequest(R"({"ban":12,"name":"Bob","text":"bell\u0007"})"), kTextNeeded},
      {jsonRequest(R"({"ban":12,"name":"Bob"})"), kTextNeeded},
      {jsonRequest(R"({"ban":12,"name":"","text":"x"})"), kNameNeeded},
      {jsonRequest(R"({"ban":12,"name":"a\nb","text":"x"})"), kNameNeeded},
      {jsonRequest("{\"ban\":12,\"name\":\"" + std::string(65, 'a') + "\",\"text\":\"x\"}"),
       kNameNeeded},
      {jsonRequest(R"({"ban":-3,"name":"Bob","text":"x"})"), kBanNeeded},
      {jsonRequest(R"({"ban":"12a","name":"Bob","text":"x"})"), kBanNeeded},
      {jsonRequest(R"({"ban":"1234567890123456789","name":"Bob","text":"x"})"), kBanNeeded},
      {jsonRequest(R"({"ban":12.5,"name":"Bob","text":"x"})"), kNotJson},
      {jsonRequest(R"({"ban":12,"name":["Bob"],"text":"x"})"), kNotJson},
      {jsonRequest(R"([12,"Bob","x"])"), kNotJson},
      {jsonRequest("{\"ban\":"), kNotJson},
      {formRequest("7", "Eve", "let me back"), "", 7},
      {formRequest("", "Eve", "let me back"), kBanNeeded},
      {formRequest("7", "Eve", std::string(2001, 'x')), kTextNeeded},
  };
  for (const Case& c : cases) {
    std::string error;
    std::optional<AppealForm> form = appealFormOf(c.request, &error);
    EXPECT_EQ(error, c.error) << c.request.body;
    EXPECT_EQ(form.has_value(), c.error.empty()) << c.request.body;
    if (form) {
      EXPECT_EQ(form->ban, c.ban) << c.request.body;
    }
  }
}

TEST(AppealThrottleTest, BoundsAppealsPerAddressAndPerBanWithinTheWindow) {
  ManualClock clock;
  AppealThrottle throttle(clock);
  for (size_t i = 0; i < AppealThrottle::kPerBan; ++i) EXPECT_EQ(throttle.take("a", 1), 0u);
  EXPECT_EQ(throttle.take("b", 1), 3600u) << "the ban's appeals are spent, from anywhere";
  for (size_t i = AppealThrottle::kPerBan; i < AppealThrottle::kPerAddress; ++i) {
    EXPECT_EQ(throttle.take("a", 2), 0u);
  }
  EXPECT_EQ(throttle.take("a", 3), 3600u) << "the address's appeals are spent, on any ban";
  clock.advance(AppealThrottle::kWindowMs - 1500);
  EXPECT_EQ(throttle.take("a", 3), 2u);
  clock.advance(1500);
  EXPECT_EQ(throttle.take("a", 3), 0u);
  EXPECT_EQ(throttle.take("b", 1), 0u);
}

TEST(AppealThrottleTest, KeysAreBoundedAndThoseWhoseWindowPassedGo) {
  ManualClock clock;
  AppealThrottle throttle(clock);
  for (size_t i = 0; i < AppealThrottle::kMaxKeys; ++i) {
    ASSERT_EQ(throttle.take("address " + std::to_string(i), static_cast<int64_t>(i)), 0u);
  }
  EXPECT_GT(throttle.take("one more", 1), 0u) << "no room while every key counts";
  clock.advance(AppealThrottle::kWindowMs);
  EXPECT_EQ(throttle.take("one more", 1), 0u);
}

}  // namespace
}  // namespace gsadmin
