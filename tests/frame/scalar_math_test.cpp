#include "frame/scalar_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kv::test {
namespace {

// Known values at points where the double result is exact or well known; the
// Windows build checks, under Wine, that the bits do not depend on the x87 unit.
TEST(ScalarMath, GivesTheKnownValues) {
  EXPECT_EQ(sm::sqrt(2.25), 1.5);
  EXPECT_TRUE(std::isnan(sm::sqrt(-1.0)));
  EXPECT_EQ(sm::sin(0.0), 0.0);
  EXPECT_EQ(sm::cos(0.0), 1.0);
  EXPECT_EQ(sm::tan(0.0), 0.0);
  EXPECT_NEAR(sm::asin(1.0), M_PI / 2, 1e-15);
  EXPECT_NEAR(sm::acos(-1.0), M_PI, 1e-15);
  EXPECT_NEAR(sm::atan2(1.0, -1.0), 3 * M_PI / 4, 1e-15);
  EXPECT_TRUE(std::signbit(sm::atan2(-0.0, 1.0)));
  EXPECT_NEAR(sm::acos(0.5), M_PI / 3, 1e-15);
}

}  // namespace
}  // namespace kv::test
