#include "vector/curves.h"

#include <gtest/gtest.h>

#include "support/library.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

using Curve = std::int32_t (*)(Handle, Handle, Handle, Handle, Handle, float);

// Four points on the x axis, 0, 1, 2, 3, in four components.
float p0[4] = {0, 0, 0, 0}, p1[4] = {1, 0, 0, 0}, p2[4] = {2, 0, 0, 0}, p3[4] = {3, 0, 0, 0};

TEST(Curves, CubicAndBezierOnALine) {
  const struct {
    const char* name;
    Curve curve;
    float t, x;
  } cases[] = {
      {"Bezier starts at p1", Vec2_Bezier, 0, 1},       {"Bezier ends at p2", Vec2_Bezier, 1, 2},
      {"Bezier middle", Vec2_Bezier, 0.5f, 1.5f},        {"Bezier quarter", Vec2_Bezier, 0.25f, 1.4375f},
      {"Cubic starts at p1", Vec2_Cubic, 0, 1},          {"Cubic ends at p2", Vec2_Cubic, 1, 2},
      {"Cubic middle", Vec2_Cubic, 0.5f, 1.5f},          {"Cubic quarter", Vec2_Cubic, 0.25f, 1.34375f},
      {"Cubic extrapolates", Vec4_Cubic, 2, 9},          {"Bezier extrapolates", Vec4_Bezier, 2, 15},
      {"Catmull-Rom at 0", Vec3_CatmullRom, 0, 1},       {"Catmull-Rom at 1", Vec3_CatmullRom, 1, 2},
      {"Hermite at 0 is a", Vec3_Hermite, 0, 0},         {"Hermite at 1 is b", Vec3_Hermite, 1, 2},
  };
  for (const auto& c : cases) {
    float r[4] = {9, 9, 9, 9};
    c.curve(h(r), h(p0), h(p1), h(p2), h(p3), c.t);
    EXPECT_EQ(r[0], c.x) << c.name;
    EXPECT_EQ(r[1], 0.0f) << c.name;
  }
}

TEST(Curves, EqualPointsStayPutAndBezierWithDoubledEndsIsCerp) {
  float q[3] = {4, -5, 6}, r[3];
  for (float t : {-1.0f, 0.3f, 2.5f}) {
    Vec3_Cubic(h(r), h(q), h(q), h(q), h(q), t);
    EXPECT_TRUE(floats_close(q, r, 3, 0)) << t;
  }
  float a[2] = {1, 2}, b[2] = {5, -3};
  for (float t : {0.1f, 0.5f, 0.8f}) {
    Vec2_Bezier(h(r), h(a), h(a), h(b), h(b), t);
    const double w = 3.0 * t * t - 2.0 * t * t * t;
    EXPECT_TRUE(close_in_ulps(float(a[0] * (1 - w) + b[0] * w), r[0], 2)) << t;
    EXPECT_TRUE(close_in_ulps(float(a[1] * (1 - w) + b[1] * w), r[1], 2)) << t;
  }
}

TEST(Curves, EveryCurveAcceptsAnyPointAsTheResult) {
  const Curve curves[] = {Vec4_CatmullRom, Vec4_Hermite, Vec4_Cubic, Vec4_Bezier};
  for (Curve c : curves) {
    for (int alias = 0; alias < 4; ++alias) {
      float pts[4][4] = {{1, 2, 3, 4}, {-1, 0.5f, 2, 8}, {3, 3, -3, 1}, {0.25f, 7, 1, -2}}, expected[4];
      c(h(expected), h(pts[0]), h(pts[1]), h(pts[2]), h(pts[3]), 0.4f);
      c(h(pts[alias]), h(pts[0]), h(pts[1]), h(pts[2]), h(pts[3]), 0.4f);
      EXPECT_TRUE(floats_close(expected, pts[alias], 4, 0)) << alias;
    }
  }
}

}  // namespace
}  // namespace kv::test
