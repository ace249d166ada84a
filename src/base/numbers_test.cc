#include "base/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace gsadmin {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(NumbersTest, TruncateToInt32IsDefinedEverywhere) {
  struct Case {
    double in;
    int32_t out;
  };
  const Case cases[] = {
      {0.0, 0},
      {-0.0, 0},
      {1.9, 1},
      {-1.9, -1},
      {2147483646.5, 2147483646},
      {2147483647.0, INT32_MAX},
      {1e300, INT32_MAX},
      {kInf, INT32_MAX},
      {-2147483647.5, -2147483647},
      {-2147483648.0, INT32_MIN},
      {-kInf, INT32_MIN},
      {kNaN, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(truncateToInt32(c.in), c.out) << c.in;
}

TEST(NumbersTest, LowByteOfInt32WrapsInRangeAndRefusesTheRest) {
  struct Case {
    double in;
    std::optional<uint8_t> out;
  };
  const Case cases[] = {
      {0.0, 0},
      {5.99, 5},
      {255.0, 255},
      {256.0, 0},
      {257.5, 1},
      {-1.0, 255},
      {-0.9, 0},
      {2147483647.9, 255},
      {-2147483648.9, 0},
      {2147483648.0, std::nullopt},
      {-2147483649.0, std::nullopt},
      {kNaN, std::nullopt},
      {kInf, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(lowByteOfInt32(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace gsadmin
