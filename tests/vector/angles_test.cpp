#include "vector/angles.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/library.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

TEST(Angles, ConstantsAreTheSingleRoundings) {
  EXPECT_EQ(bits(vec::kDegToRad), 0x3C8EFA35u);
  EXPECT_EQ(bits(vec::kRadToDeg), 0x42652EE1u);
  EXPECT_EQ(vec::kTurn, 6.283185307179586);
}

TEST(Angles, WrapGivesTheExactRemainderIntoOneTurn) {
  const float turn = float(vec::kTurn);
  const struct {
    const char* name;
    float x, period360, period2pi;
  } cases[] = {
      {"370", 370, 10, float(370 - 58 * vec::kTurn)},
      {"-10", -10, 350, float(-10 + 2 * vec::kTurn)},
      {"720", 720, 0, float(720 - 114 * vec::kTurn)},
      {"a tiny negative rounds up to 360", -0.000001f, 360, float(double(-0.000001f) + vec::kTurn)},
      {"a tinier negative rounds up to 2π", -1e-8f, 360, turn},
      {"359.5", 359.5f, 359.5f, float(359.5 - 57 * vec::kTurn)},
      {"+0", 0, 0, 0},
      {"-0 stays -0", -0.0f, -0.0f, -0.0f},
      {"7", 7, 7, float(7 - vec::kTurn)},
      {"-1", -1, 359, float(vec::kTurn - 1)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bits(vec::wrap(c.x, 360)), bits(c.period360)) << c.name;
    EXPECT_EQ(bits(vec::wrap(c.x, vec::kTurn)), bits(c.period2pi)) << c.name;
  }
  EXPECT_EQ(bits(vec::wrap(-360, 360)), bits(-0.0f)) << "an exact negative multiple gives -0";
  EXPECT_TRUE(std::isnan(vec::wrap(NAN, 360)));
  EXPECT_EQ(vec::wrap(1e30f, 360), 120.0f) << "exact for large angles too: 2^99·1.578… mod 360";
  // A tiny negative angle rounds up to the turn itself; a little less tiny does not.
  EXPECT_EQ(vec::wrap(-1.5e-5f, 360), 360.0f);
  EXPECT_LT(vec::wrap(-1.6e-5f, 360), 360.0f);
  EXPECT_EQ(vec::wrap(-6e-8f, vec::kTurn), float(vec::kTurn));
  EXPECT_LT(vec::wrap(-7e-8f, vec::kTurn), float(vec::kTurn));
}

TEST(Angles, WrapCommandsWorkComponentByComponentInPlace) {
  float v[4] = {370, -10, 720, -360};
  Vec4_WrapDegrees(h(v), h(v));
  EXPECT_EQ(v[0], 10.0f); EXPECT_EQ(v[1], 350.0f); EXPECT_EQ(v[2], 0.0f); EXPECT_EQ(bits(v[3]), bits(-0.0f));
  float w[2] = {-0.000001f, 359.5f};
  Vec2_WrapDegrees(h(w), h(w));
  EXPECT_EQ(w[0], 360.0f); EXPECT_EQ(w[1], 359.5f);
  float r[3] = {7, -1, 0};
  Vec3_WrapRadians(h(r), h(r));
  EXPECT_EQ(r[0], float(7 - vec::kTurn)); EXPECT_EQ(r[1], float(vec::kTurn - 1)); EXPECT_EQ(r[2], 0.0f);
}

TEST(Angles, UnitConversionsMultiplyByTheSingleFactors) {
  float d[2] = {180, 90}, r[4];
  Vec2_DegToRad(h(r), h(d));
  EXPECT_EQ(r[0], 3.14159274f); EXPECT_EQ(r[1], 1.57079637f);
  Vec3_DegToRadEx(h(r), 180, -90, 1);
  EXPECT_EQ(r[1], -1.57079637f); EXPECT_EQ(r[2], vec::kDegToRad);
  float rad[4] = {1, 2, 3, 4};
  Vec4_RadToDeg(h(rad), h(rad));
  EXPECT_EQ(rad[3], 4 * vec::kRadToDeg);
  Vec3_RadToDegEx(h(r), 1, 0, -1);
  EXPECT_EQ(r[2], -vec::kRadToDeg);
}

TEST(Angles, TwoDimensionalDirections) {
  float r[2];
  Vec2_RadToAxis(h(r), float(M_PI / 2));
  EXPECT_NEAR(r[0], 0, 1e-7); EXPECT_EQ(r[1], 1.0f);
  Vec2_DegToAxis(h(r), 180);
  EXPECT_EQ(r[0], -1.0f); EXPECT_NEAR(r[1], 0, 1e-7);
  float down[2] = {0, -1}, left[2] = {-1, 0};
  EXPECT_EQ(from_bits(Vec2_AxisToDeg(h(down))), -90.0f);
  EXPECT_EQ(from_bits(Vec2_AxisToDeg(h(left))), 180.0f);
  EXPECT_EQ(from_bits(Vec2_AxisToRad(h(left))), 3.14159274f);
}

TEST(Angles, PitchAndYawOfDirections) {
  const struct {
    const char* name;
    float d[3], degrees[3];
  } cases[] = {
      {"ahead: pitch is asin(-0) = -0", {0, 0, 1}, {-0.0f, 0, 0}},
      {"right", {1, 0, 0}, {-0.0f, 90, 0}},
      {"down", {0, -1, 0}, {90, 0, 0}},
      {"up wraps to 270", {0, 1, 0}, {270, 0, 0}},
      {"behind", {0, 0, -1}, {-0.0f, 180, 0}},
      {"left wraps to 270", {-1, 0, 0}, {-0.0f, 270, 0}},
  };
  for (const auto& c : cases) {
    float r[3];
    Vec3_AxisToDeg(h(r), h(c.d));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(bits(r[i]), bits(c.degrees[i])) << c.name << " " << i;
  }
  // The direction handle may be the result handle.
  float d[3] = {1, 0, 0};
  Vec3_AxisToRad(h(d), h(d));
  EXPECT_EQ(d[1], 1.57079637f) << "yaw read before pitch was stored";
  EXPECT_EQ(d[2], 0.0f);
}

TEST(Angles, DirectionsOfPitchAndYawGoThereAndBack) {
  float r[3];
  float yaw90[3] = {0, 90, 0}, pitch90[3] = {90, 0, 0};
  Vec3_DegToAxis(h(r), h(yaw90));
  EXPECT_NEAR(r[0], 1, 1e-7); EXPECT_NEAR(r[1], 0, 1e-7); EXPECT_NEAR(r[2], 0, 1e-7);
  Vec3_DegToAxis(h(r), h(pitch90));
  EXPECT_NEAR(r[0], 0, 1e-7); EXPECT_NEAR(r[1], -1, 1e-7); EXPECT_NEAR(r[2], 0, 1e-7);
  for (float pitch : {-1.2f, -0.3f, 0.0f, 0.7f, 1.5f}) {
    for (float yaw : {0.1f, 2.0f, 3.0f, 5.5f}) {
      float angles[3] = {pitch, yaw, 0};
      Vec3_RadToAxis(h(angles), h(angles));  // in place
      Vec3_AxisToRad(h(r), h(angles));
      EXPECT_TRUE(close_in_ulps(vec::wrap(pitch, vec::kTurn), r[0], 8, 2e-6f)) << pitch << ", " << yaw;
      EXPECT_TRUE(close_in_ulps(yaw, r[1], 8)) << pitch << ", " << yaw;
    }
  }
  Vec3_RadToAxisEx(h(r), 0, float(M_PI));
  EXPECT_NEAR(r[2], -1, 1e-7);
  Vec3_DegToAxisEx(h(r), 0, 90);
  EXPECT_NEAR(r[0], 1, 1e-7);
}

}  // namespace
}  // namespace kv::test
