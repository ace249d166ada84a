// The API table: every row is published under its name and refuses a bad
// first argument with its family's diagnostic, named from the table.

#include "script/api.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "script/api_test_script.h"

namespace gsadmin {
namespace {

using testing::ApiScript;

// The line a function of `family` prints for a table as its first argument,
// or "" when it refuses nothing of the kind.
std::string badFirstArgumentLine(const ApiFunction& function) {
  std::string name = function.name;
  switch (function.family) {
    case ApiFamily::kHandlers:
    case ApiFamily::kText:
    case ApiFamily::kDatabase:
    case ApiFamily::kTimers:
    case ApiFamily::kSharing:
    case ApiFamily::kRequests:
      return name + ": Invalid argument #1.\n";
    case ApiFamily::kChat:
    case ApiFamily::kPlayer:
    case ApiFamily::kModeration:
      // One function has always spelt its own name without the final s.
      if (name == "getPlayerDeaths") return "getPlayerDeath: Invalid Argument #1.\n";
      return name + ": Invalid Argument #1.\n";
    case ApiFamily::kVehicle:
    case ApiFamily::kWeapon:
      return name + ": Invalid Parameters\n";
    case ApiFamily::kSettings:
    case ApiFamily::kServer:
    case ApiFamily::kEncode:
      return "";
  }
  return "?";
}

TEST(ApiTableTest, EveryNameDistinctAndPublished) {
  std::set<std::string> names;
  for (const ApiFunction& function : apiFunctions()) {
    EXPECT_TRUE(names.insert(function.name).second) << function.name;
    EXPECT_EQ(apiFunctionNameOf(function.body), std::string(function.name));
  }
  EXPECT_EQ(names.size(), 53u);
  EXPECT_EQ(apiFunctionCount(), 53);
  ApiScript s;
  for (const ApiFunction& function : apiFunctions()) {
    EXPECT_EQ(s.run("print(type(" + std::string(function.name) + "))"), "function\n");
  }
}

TEST(ApiTableTest, EachFamilyRefusesABadFirstArgumentInItsOwnWords) {
  ApiScript s;
  for (const ApiFunction& function : apiFunctions()) {
    std::string name = function.name;
    EXPECT_EQ(s.run(name + "({}, {})"), badFirstArgumentLine(function)) << name;
  }
}

TEST(ApiTableTest, DiagnosticsNameTheFunctionHoweverItIsReached) {
  ApiScript s;
  EXPECT_EQ(s.run("local kick = kickPlayer\nkick(99)"), "kickPlayer: No such player.\n");
  EXPECT_EQ(s.run("pcall(getVehicleName, {})"), "getVehicleName: Invalid Parameters\n");
  EXPECT_EQ(apiFunctionNameOf(nullptr), nullptr);
}

}  // namespace
}  // namespace gsadmin
