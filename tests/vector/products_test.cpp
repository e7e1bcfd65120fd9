#include "vector/products.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/library.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

float f(FloatBits b) { return from_bits(b); }

// Dot, Cross and CCW against exact products: floats of 24 bits in [0.5, 2), so that
// long double holds every product and sum exactly, b drawn near a multiple of a
// (a few ULPs off) as often as not, where the result cancels to a few bits. Each
// result must be the exact one rounded once.
TEST(VectorProducts, ProductsAreTheExactOnesRoundedOnce) {
  std::mt19937 rng(20261207);
  std::uniform_real_distribution<float> mantissa(0.5f, 2.0f);
  for (int draw = 0; draw < 20000; ++draw) {
    float a[4], b[4];
    for (int i = 0; i < 4; ++i) a[i] = (rng() & 1 ? -1 : 1) * mantissa(rng);
    const float k = mantissa(rng) / 2;
    for (int i = 0; i < 4; ++i) b[i] = draw % 2 ? std::nextafter(a[i] * k, float(rng() % 3) - 1) : (rng() & 1 ? -1 : 1) * mantissa(rng);
    using L = long double;
    auto exact_dot = [&](int n) { L s = 0; for (int i = 0; i < n; ++i) s += L(a[i]) * b[i]; return float(s); };
    EXPECT_EQ(bits(f(Vec2_Dot(h(a), h(b)))), bits(exact_dot(2))) << draw;
    EXPECT_EQ(bits(f(Vec3_Dot(h(a), h(b)))), bits(exact_dot(3))) << draw;
    EXPECT_EQ(bits(f(Vec4_Dot(h(a), h(b)))), bits(exact_dot(4))) << draw;
    EXPECT_EQ(bits(f(Vec2_CCW(h(a), h(b)))), bits(float(L(a[0]) * b[1] - L(a[1]) * b[0]))) << draw;
    float c[3];
    Vec3_Cross(h(c), h(a), h(b));
    const float exact[3] = {float(L(a[1]) * b[2] - L(a[2]) * b[1]), float(L(a[2]) * b[0] - L(a[0]) * b[2]),
                            float(L(a[0]) * b[1] - L(a[1]) * b[0])};
    ASSERT_TRUE(floats_close(exact, c, 3, 0)) << draw;
  }
  const float p[3] = {0, 1.00000012f, 1}, q[3] = {0, 1, 0.99999994f};
  float r[3];
  Vec3_Cross(h(r), h(p), h(q));
  EXPECT_EQ(r[0], 5.96046377e-08f);
}

TEST(VectorProducts, CrossAndCcwFollowTheRightHandRule) {
  float x[3] = {1, 0, 0}, y[3] = {0, 1, 0}, r[3];
  Vec3_Cross(h(r), h(x), h(y));
  EXPECT_EQ(r[0], 0.0f); EXPECT_EQ(r[1], 0.0f); EXPECT_EQ(r[2], 1.0f);
  Vec3_Cross(h(r), h(y), h(x));
  EXPECT_EQ(r[2], -1.0f);
  EXPECT_EQ(f(Vec2_CCW(h(x), h(y))), 1.0f);
  EXPECT_EQ(f(Vec2_CCW(h(y), h(x))), -1.0f);
}

TEST(VectorProducts, CrossReadsBothInputsBeforeStoring) {
  const float a0[3] = {1, 2, 3}, b0[3] = {-4, 5, 0.5f};
  float expected[3];
  Vec3_Cross(h(expected), h(a0), h(b0));
  float a[3] = {1, 2, 3}, b[3] = {-4, 5, 0.5f};
  Vec3_Cross(h(a), h(a), h(b));
  float a2[3] = {1, 2, 3}, b2[3] = {-4, 5, 0.5f};
  Vec3_Cross(h(b2), h(a2), h(b2));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(a[i], expected[i]) << "result = a, component " << i;
    EXPECT_EQ(b2[i], expected[i]) << "result = b, component " << i;
  }
}

TEST(VectorProducts, PerpendicularsAndTheirTies) {
  const struct {
    const char* name;
    float v[3], perp[3];
  } cases[] = {
      {"|z| >= |x|", {1, 2, 3}, {0, -3, 2}},
      {"|z| < |x|", {3, 2, 1}, {-2, 3, 0}},
      {"tie", {1, 0, 1}, {0, -1, 0}},
      {"on the y axis: -0", {0, 5, 0}, {0, -0.0f, 5}},
  };
  for (const auto& c : cases) {
    float v[3] = {c.v[0], c.v[1], c.v[2]};
    Vec3_Perp(h(v), h(v));  // in place
    for (int i = 0; i < 3; ++i) EXPECT_EQ(bits(v[i]), bits(c.perp[i])) << c.name << " " << i;
    EXPECT_EQ(double(c.v[0]) * v[0] + double(c.v[1]) * v[1] + double(c.v[2]) * v[2], 0.0) << c.name;
  }
  float p[2] = {3, 4};
  Vec2_Perp(h(p), h(p));
  EXPECT_EQ(p[0], -4.0f); EXPECT_EQ(p[1], 3.0f);
}

TEST(VectorProducts, LengthsAndDistances) {
  float v34[2] = {3, 4}, v3m4[2] = {3, -4}, a[3] = {1, 2, 3}, b[3] = {4, 0, 3}, o[3] = {0, 0, 0}, p[3] = {1, 2, 2};
  float q[4] = {0.5f, 0.5f, 0.5f, 0.5f};
  EXPECT_EQ(f(Vec2_Length(h(v34))), 5.0f);
  EXPECT_EQ(f(Vec2_LengthSq(h(v34))), 25.0f);
  EXPECT_EQ(f(Vec2_LengthManhatten(h(v3m4))), 7.0f);
  EXPECT_EQ(f(Vec3_DistManhatten(h(a), h(b))), 5.0f);
  EXPECT_EQ(f(Vec3_Dist(h(o), h(p))), 3.0f);
  EXPECT_EQ(f(Vec3_DistSq(h(o), h(p))), 9.0f);
  EXPECT_EQ(f(Vec4_LengthSq(h(q))), 1.0f);
  EXPECT_EQ(f(Vec4_Dot(h(q), h(q))), 1.0f);
  EXPECT_EQ(f(Vec2_Dist(h(v34), h(v3m4))), 8.0f);
  float o4[4] = {0, 0, 0, 0};
  EXPECT_EQ(f(Vec4_DistManhatten(h(q), h(o4))), 2.0f) << "reads four floats";
}

// Formed wider than single and rounded once: sums that lose bits in single,
// squares that would overflow or underflow it.
TEST(VectorProducts, ScalarResultsAreRoundedOnce) {
  float big[3] = {1e8f, 1, -1e8f}, ones[3] = {1, 1, 1};
  EXPECT_EQ(f(Vec3_Dot(h(big), h(ones))), 1.0f);
  float huge[3] = {3e20f, 4e20f, 0}, tiny[3] = {3e-25f, 4e-25f, 0};
  EXPECT_EQ(f(Vec3_Length(h(huge))), 5e20f);
  EXPECT_EQ(f(Vec3_Length(h(tiny))), 5e-25f);
  float u[3] = {1e30f, 0, 0}, w[3] = {-1e30f, 0, 0};
  EXPECT_EQ(f(Vec3_Dist(h(u), h(w))), 2e30f);
  EXPECT_EQ(f(Vec3_DistManhatten(h(u), h(w))), 2e30f);
  float near[2] = {16777216, 1}, zero[2] = {0, 0};
  EXPECT_EQ(f(Vec2_LengthManhatten(h(near))), 16777216.0f) << "one rounding of 2^24 + 1";
  EXPECT_EQ(f(Vec2_DistSq(h(near), h(zero))), 281474976710656.0f + 0.0f);
}

TEST(VectorProducts, NormalisationAndItsZeroCases) {
  float v[4] = {0, 3, 4, 0}, r[4];
  Vec3_Normalize(h(r), h(v));
  EXPECT_EQ(r[1], 0.6f); EXPECT_EQ(r[2], 0.8f);
  float zero[4] = {0, 0, 0, 0};
  Vec3_Normalize(h(r), h(zero));
  EXPECT_EQ(r[0], 0.0f); EXPECT_EQ(r[2], 0.0f);
  Vec2_Normalize(h(v), h(v));
  EXPECT_EQ(v[0], 0.0f); EXPECT_EQ(v[1], 1.0f);
  Vec4_Normalize(h(r), h(zero));
  for (float c : r) EXPECT_TRUE(std::isnan(c));
  float q[4] = {1, 1, 1, 1};
  Vec4_Normalize(h(q), h(q));
  for (float c : q) EXPECT_EQ(c, 0.5f);
}

TEST(VectorProducts, ScaleToLengthRoundsEachComponentOnce) {
  float r[4];
  float v3[3] = {0, 3, 4}, v2[2] = {3, 4};
  Vec3_ScaleToLength(h(r), h(v3), 10);
  EXPECT_EQ(r[1], 6.0f); EXPECT_EQ(r[2], 8.0f);
  Vec2_ScaleToLength(h(r), h(v2), -5);
  EXPECT_EQ(r[0], -3.0f); EXPECT_EQ(r[1], -4.0f);
  // Zero vector: NaN for any length; length 0: signed zeros.
  float zero[4] = {0, 0, 0, 0}, signs[4] = {-1, 2, -3, 4};
  for (float length : {0.0f, 2.0f}) {
    Vec4_ScaleToLength(h(r), h(zero), length);
    EXPECT_TRUE(std::isnan(r[0]) && std::isnan(r[3]));
    Vec3_ScaleToLength(h(r), h(zero), length);
    EXPECT_TRUE(std::isnan(r[0]) && std::isnan(r[2]));
  }
  Vec4_ScaleToLength(h(r), h(signs), 0);
  EXPECT_EQ(bits(r[0]), bits(-0.0f)); EXPECT_EQ(bits(r[1]), bits(0.0f));
  Vec3_ScaleToLength(h(r), h(signs), 0);
  EXPECT_EQ(bits(r[2]), bits(-0.0f));
  // The last bit: each component is v_i · (length ÷ |v|) formed in double, rounded once.
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> u(-10, 10);
  for (int n = 0; n < 2000; ++n) {
    float v[4] = {u(rng), u(rng), u(rng), u(rng)};
    const float length = u(rng);
    const double l2 = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1]);
    const double l3 = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
    Vec2_ScaleToLength(h(r), h(v), length);
    ASSERT_EQ(bits(r[0]), bits(float(v[0] * (length / l2))));
    Vec3_ScaleToLength(h(r), h(v), length);
    ASSERT_EQ(bits(r[1]), bits(float(v[1] * (length / l3))));
  }
}

TEST(VectorProducts, ScaleToLengthAndNormaliseWorkInPlace) {
  float v[4] = {2, 0, 0, 0};
  Vec4_ScaleToLength(h(v), h(v), 3);
  EXPECT_EQ(v[0], 3.0f);
  Vec3_ScaleToLength(h(v), h(v), 1);
  EXPECT_EQ(v[0], 1.0f);
}

}  // namespace
}  // namespace kv::test
