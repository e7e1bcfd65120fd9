#include "vector/interpolation.h"

#include "matrix/interpolation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>

#include "support/library.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

using Lerpish = std::int32_t (*)(Handle, Handle, Handle, float);

TEST(Interpolation, SlerpFollowsTheArcWithoutClamping) {
  const struct {
    const char* name;
    float t, expected[3];
    float to[3];
  } cases[] = {
      {"halfway", 0.5f, {0.70710678f, 0.70710678f, 0}, {0, 1, 0}}, {"at b", 1, {0, 1, 0}, {0, 1, 0}},
      {"beyond b", 2, {-1, 0, 0}, {0, 1, 0}},                         {"at a", 0, {1, 0, 0}, {0, 1, 0}},
      {"before a", -1, {0, -1, 0}, {0, 1, 0}},
      // A quarter turn as a script makes it, (cos, sin) of π/2 in single: a·b = −4.4e-8.
      {"π/2 in single, halfway", 0.5f, {0.70710678f, 0.70710678f, 0}, {-4.37113883e-8f, 1, 0}},
      {"π/2 in single, at b", 1, {-4.37113883e-8f, 1, 0}, {-4.37113883e-8f, 1, 0}},
  };
  for (const auto& c : cases) {
    float a[3] = {1, 0, 0}, r[3];
    Vec3_SLerp(h(r), h(a), h(c.to), c.t);
    EXPECT_TRUE(floats_close(c.expected, r, 3, 2, 1e-7f)) << c.name;
  }
}

TEST(Interpolation, SlerpTakesTheShorterArcAndLeavesTheCallersB) {
  float a[3] = {1, 0, 0}, b[3] = {-0.6f, 0.8f, 0}, r[3];
  Vec3_SLerp(h(r), h(a), h(b), 1);
  const float to_minus_b[3] = {0.6f, -0.8f, 0};
  EXPECT_TRUE(floats_close(to_minus_b, r, 3, 2, 1e-7f));
  EXPECT_EQ(b[0], -0.6f) << "the caller's keyframe is not changed";
  EXPECT_EQ(b[1], 0.8f);
  // Opposite vectors: −b equals a, the close path runs and every t gives a.
  float opposite[3] = {-1, 0, 0};
  for (float t : {0.0f, 0.3f, 1.0f, 5.0f}) {
    Vec3_SLerp(h(r), h(a), h(opposite), t);
    EXPECT_EQ(r[0], 1.0f); EXPECT_EQ(r[1], 0.0f); EXPECT_EQ(r[2], 0.0f);
  }
  EXPECT_EQ(opposite[0], -1.0f);
}

TEST(Interpolation, SlerpClosePathIsNormalisedAndTheBoundaryIsStrict) {
  // Dot products above 0.9995 take the normalised straight line, even for long vectors.
  float a[2] = {3, 0}, b[2] = {3, 0.01f}, r[2];
  Vec2_SLerp(h(r), h(a), h(b), 0);
  EXPECT_EQ(r[0], 1.0f) << "a divided by its length, not a";
  Vec2_SLerp(h(r), h(a), h(b), 0.5f);
  EXPECT_NEAR(std::hypot(r[0], r[1]), 1.0, 1e-7);
  // Unit vectors with the dot product exactly 0.9995 in single take the arc path:
  // the result keeps a's length at t = 0 instead of being renormalised.
  const float c = 0.9995f, s = float(std::sqrt(1.0 - double(c) * c));
  float u[4] = {2, 0, 0, 0}, w[4] = {c / 2, s / 2, 0, 0};  // u·w = c exactly
  float q[4];
  Vec4_SLerp(h(q), h(u), h(w), 0);
  EXPECT_EQ(q[0], 2.0f) << "arc path at d = 0.9995";
  float w2[4] = {0.9996f / 2, s / 2, 0, 0};
  Vec4_SLerp(h(q), h(u), h(w2), 0);
  EXPECT_EQ(q[0], 1.0f) << "close path above 0.9995";
}

// With a zero vector there is no arc: every SLerp, and each row of Mat4_SLerp, is
// then the Lerp, for every t.
TEST(Interpolation, SlerpWithoutALengthIsTheStraightLine) {
  const Lerpish slerps[] = {Vec2_SLerp, Vec3_SLerp, Vec4_SLerp}, lerps[] = {Vec2_Lerp, Vec3_Lerp, Vec4_Lerp};
  const float v[4] = {1, -2, 0.5f, 3}, zero[4] = {0, -0.0f, 0, 0};
  for (int n = 0; n < 3; ++n) {
    for (const auto& [a, b] : {std::pair{v, zero}, {zero, v}, {zero, zero}}) {
      for (const float t : {0.0f, 0.25f, 1.0f, -1.5f}) {
        float s[4] = {9, 9, 9, 9}, l[4] = {9, 9, 9, 9};
        slerps[n](h(s), h(a), h(b), t), lerps[n](h(l), h(a), h(b), t);
        EXPECT_EQ(std::memcmp(s, l, sizeof s), 0) << "Vec" << n + 2 << " at t = " << t;
      }
    }
  }
  float m[16] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 4, 5, 6, 1}, turned[16] = {0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  float out[16], row[3];
  Mat4_SLerp(h(out), h(m), h(turned), 0.5f);
  for (int r = 1; r < 3; ++r) {
    Vec3_Lerp(h(row), h(m + 4 * r), h(turned + 4 * r), 0.5f);
    EXPECT_EQ(std::memcmp(row, out + 4 * r, sizeof row), 0) << "row " << r + 1 << " has a zero end";
  }
}

TEST(Interpolation, EveryMemberAcceptsAnyOperandAsTheResult) {
  const struct {
    Lerpish command;
    int width;
  } commands[] = {{Vec2_Lerp, 2}, {Vec3_Lerp, 3}, {Vec4_Lerp, 4}, {Vec2_NLerp, 2}, {Vec3_NLerp, 3}, {Vec4_NLerp, 4},
                  {Vec2_Cerp, 2}, {Vec3_Cerp, 3}, {Vec4_Cerp, 4}, {Vec2_SLerp, 2}, {Vec3_SLerp, 3}, {Vec4_SLerp, 4}};
  for (const auto& c : commands) {
    for (float t : {0.3f, -0.2f}) {  // a positive and a negative dot product
      const float a0[4] = {1, 2, 3, 4}, b0[4] = {-2, 0.5f, 7, 1}, nb0[4] = {-1, -2.5f, -2, -4};
      const float* second = t > 0 ? b0 : nb0;
      float a[4], b[4], expected[4];
      std::copy(a0, a0 + 4, a), std::copy(second, second + 4, b);
      c.command(h(expected), h(a), h(b), t);
      c.command(h(a), h(a), h(b), t);
      EXPECT_TRUE(floats_close(expected, a, c.width, 0));
      std::copy(a0, a0 + 4, a);
      c.command(h(b), h(a), h(b), t);
      EXPECT_TRUE(floats_close(expected, b, c.width, 0));
    }
  }
}

TEST(Interpolation, LerpAndCerpValues) {
  float a[4] = {1, 2, 3, 4}, b[4] = {5, -2, 3, 0}, r[4];
  Vec4_Lerp(h(r), h(a), h(b), 0.25f);
  const float lerp[4] = {2, 1, 3, 3};
  EXPECT_TRUE(floats_close(lerp, r, 4, 0));
  float p[2] = {0, 0}, q[2] = {1, 2};
  Vec2_Cerp(h(r), h(p), h(q), 0.25f);
  EXPECT_EQ(r[0], 0.15625f); EXPECT_EQ(r[1], 0.3125f);
  Vec2_Cerp(h(r), h(a), h(b), 2);  // 5a − 4b
  EXPECT_EQ(r[0], 5 * 1.0f - 4 * 5.0f); EXPECT_EQ(r[1], 5 * 2.0f - 4 * -2.0f);
  Vec3_Lerp(h(r), h(a), h(b), 3);
  EXPECT_EQ(r[0], 13.0f) << "extrapolates";
}

TEST(Interpolation, NlerpNormalisesAndVec4DividesZeroByZero) {
  float a[4] = {3, 0, 0, 0}, b[4] = {0, 4, 0, 0}, r[4];
  Vec3_NLerp(h(r), h(a), h(b), 0.5f);
  EXPECT_TRUE(close_in_ulps(0.6f, r[0], 1)); EXPECT_TRUE(close_in_ulps(0.8f, r[1], 1));
  float minus_a[4] = {-3, 0, 0, 0};
  Vec3_NLerp(h(r), h(a), h(minus_a), 0.5f);
  EXPECT_EQ(r[0], 0.0f) << "D3DX keeps the zero vector";
  Vec4_NLerp(h(r), h(a), h(minus_a), 0.5f);
  EXPECT_TRUE(std::isnan(r[0]) && std::isnan(r[3]));
}

TEST(Interpolation, PatchesPutTheCornersWhereTheyBelong) {
  float p0[4] = {0, 0, 0, 1}, p1[4] = {1, 0, 0, 2}, p2[4] = {0, 1, 0, 3}, p3[4] = {1, 1, 0, 4}, r[4];
  const struct {
    float u, v;
    float* corner;
  } corners[] = {{0, 0, p0}, {1, 0, p1}, {0, 1, p2}, {1, 1, p3}};
  for (const auto& c : corners) {
    Vec4_BiLerp(h(r), h(p0), h(p1), h(p2), h(p3), c.u, c.v);
    EXPECT_TRUE(floats_close(c.corner, r, 4, 0));
    Vec4_BiCerp(h(r), h(p0), h(p1), h(p2), h(p3), c.u, c.v);
    EXPECT_TRUE(floats_close(c.corner, r, 4, 0));
  }
  Vec2_BiLerp(h(r), h(p0), h(p1), h(p2), h(p3), 0.25f, 0.75f);
  EXPECT_EQ(r[0], 0.25f); EXPECT_EQ(r[1], 0.75f);
  Vec2_BiCerp(h(r), h(p0), h(p1), h(p2), h(p3), 0.25f, 0.75f);
  EXPECT_EQ(r[0], 0.15625f); EXPECT_EQ(r[1], 0.84375f);
  Vec3_BiLerp(h(r), h(p0), h(p1), h(p2), h(p3), 0.5f, 0.5f);
  EXPECT_EQ(r[0], 0.5f); EXPECT_EQ(r[1], 0.5f);
  Vec2_BiLerp(h(r), h(p0), h(p1), h(p2), h(p3), 2, 0);
  EXPECT_EQ(r[0], 2.0f); EXPECT_EQ(r[1], 0.0f);
  Vec2_BiCerp(h(r), h(p0), h(p1), h(p2), h(p3), 2, 0);
  EXPECT_EQ(r[0], -4.0f); EXPECT_EQ(r[1], 0.0f);
  // Swapping p1 and p2 and exchanging u and v, and writing over a corner.
  float s[4];
  Vec3_BiCerp(h(s), h(p0), h(p2), h(p1), h(p3), 0.75f, 0.25f);
  Vec3_BiCerp(h(p3), h(p0), h(p1), h(p2), h(p3), 0.25f, 0.75f);
  EXPECT_TRUE(floats_close(s, p3, 3, 1, 1e-7f));
}

}  // namespace
}  // namespace kv::test
