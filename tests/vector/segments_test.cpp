#include "vector/segments.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/library.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

TEST(Segments, ClosestPointsAndDistances) {
  const struct {
    const char* name;
    float p[2], a[2], b[2], closest[2], distance;
  } cases[] = {
      {"above the middle", {0, 1}, {-1, 0}, {1, 0}, {0, 0}, 1},
      {"beyond b", {3, 1}, {0, 0}, {1, 0}, {1, 0}, 2.236068f},
      {"before a", {-2, 0}, {0, 0}, {1, 0}, {0, 0}, 2},
      {"zero-length segment", {4, 5}, {1, 1}, {1, 1}, {1, 1}, 5},
      {"on a zero-length segment", {1, 1}, {1, 1}, {1, 1}, {1, 1}, 0},
      {"at b exactly", {1, 0}, {0, 0}, {1, 0}, {1, 0}, 0},
  };
  for (const auto& c : cases) {
    float r[2];
    Vec2_GetClosestPointOnLineSeg(h(r), h(c.p), h(c.a), h(c.b));
    EXPECT_TRUE(floats_close(c.closest, r, 2, 0)) << c.name;
    EXPECT_EQ(from_bits(Vec2_GetDistFromLineSeg(h(c.p), h(c.a), h(c.b))), c.distance) << c.name;
  }
  float p3[3] = {1, 2, 7}, a3[3] = {0, 0, 0}, b3[3] = {0, 0, 10}, r3[3];
  Vec3_GetClosestPointOnLineSeg(h(p3), h(p3), h(a3), h(b3));  // in place
  EXPECT_EQ(p3[0], 0.0f); EXPECT_EQ(p3[2], 7.0f);
  float q3[3] = {3, 4, 12};
  EXPECT_EQ(from_bits(Vec3_GetDistFromLineSeg(h(q3), h(a3), h(b3))), std::sqrt(9.0f + 16.0f + 4.0f));
  Vec3_GetClosestPointOnLineSeg(h(r3), h(q3), h(a3), h(b3));
  EXPECT_EQ(r3[2], 10.0f);
}

TEST(Segments, AnglesBetweenVectors) {
  float x[4] = {1, 0, 0, 0}, y[4] = {0, 1, 0, 0}, minus_x[4] = {-1, 0, 0, 0}, two[2] = {2, 0}, five[2] = {5, 0};
  float zero[4] = {0, 0, 0, 0}, diagonal[4] = {1, 1, 1, 1};
  EXPECT_EQ(from_bits(Vec2_GetAngleBetween(h(x), h(y))), 1.5707964f);
  EXPECT_EQ(from_bits(Vec2_GetAngleBetween(h(x), h(minus_x))), 3.1415927f);
  EXPECT_EQ(from_bits(Vec2_GetAngleBetween(h(two), h(five))), 0.0f) << "the cosine rounds to exactly 1";
  EXPECT_TRUE(std::isnan(from_bits(Vec3_GetAngleBetween(h(zero), h(x)))));
  EXPECT_TRUE(close_in_ulps(float(std::acos(0.5)), from_bits(Vec4_GetAngleBetween(h(x), h(diagonal))), 1));
  float long_a[3] = {1e20f, 1e20f, 0}, long_b[3] = {3e20f, 3e20f, 0};
  EXPECT_EQ(from_bits(Vec3_GetAngleBetween(h(long_a), h(long_b))), 0.0f) << "no overflow";
}

}  // namespace
}  // namespace kv::test
