#include "vector/arithmetic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/library.h"

namespace kv::test {
namespace {

const float kInf = std::numeric_limits<float>::infinity();

// The four operators in each family, on the same operands: every component must
// be the single IEEE operation, bit for bit, whatever the family's operand order.
struct Op {
  const char* name;
  float (*apply)(float, float);
};
const Op kOps[] = {{"add", [](float a, float b) { return a + b; }},
                   {"sub", [](float a, float b) { return a - b; }},
                   {"mul", [](float a, float b) { return a * b; }},
                   {"div", [](float a, float b) { return a / b; }}};

using VV = std::int32_t (*)(Handle, Handle, Handle);
using VS = std::int32_t (*)(Handle, Handle, float);
const VV kVec4[] = {Vec4_Add, Vec4_Sub, Vec4_Mul, Vec4_Div};
const VS kScalar4[] = {Vec4_AddScalar, Vec4_SubScalar, Vec4_MulScalar, Vec4_DivScalar};

TEST(VectorArithmetic, EachComponentIsOneIeeeOperation) {
  const float a[4] = {1.5f, -0.0f, 3e38f, 0.1f}, b[4] = {0.7f, 0.0f, 10.0f, 3.0f};
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE(kOps[k].name);
    float r[4], s[4];
    kVec4[k](h(r), h(a), h(b));
    kScalar4[k](h(s), h(a), 0.3f);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(bits(r[i]), bits(kOps[k].apply(a[i], b[i]))) << i;
      EXPECT_EQ(bits(s[i]), bits(kOps[k].apply(a[i], 0.3f))) << i;
    }
  }
  // A true division: 1 / 3 is not 1 × (1 / 3) in single precision.
  float v[2] = {1, 10}, r[2];
  Vec2_DivScalar(h(r), h(v), 3);
  EXPECT_EQ(r[0], 1.0f / 3.0f);
  EXPECT_EQ(r[1], 10.0f / 3.0f);
  EXPECT_NE(bits(10.0f / 3.0f), bits(10.0f * (1.0f / 3.0f)));
}

TEST(VectorArithmetic, OperandOrderOfTheReversedFamilies) {
  float v2[2] = {1, 2}, v3[3] = {2, 4, 0}, r[4];
  Vec2_ScalarSub(h(r), 10, h(v2));
  EXPECT_EQ(r[0], 9.0f); EXPECT_EQ(r[1], 8.0f);
  Vec2_SubScalar(h(r), h(v2), 10);
  EXPECT_EQ(r[0], -9.0f); EXPECT_EQ(r[1], -8.0f);
  Vec3_ValueDiv(h(r), 1, 1, 1, h(v3));
  EXPECT_EQ(r[0], 0.5f); EXPECT_EQ(r[1], 0.25f); EXPECT_EQ(r[2], kInf);
  Vec2_ScalarDiv(h(r), 1, h(v2));
  EXPECT_EQ(r[0], 1.0f); EXPECT_EQ(r[1], 0.5f);
  Vec3_ValueSub(h(r), 1, 2, 3, h(v3));
  EXPECT_EQ(r[0], -1.0f); EXPECT_EQ(r[1], -2.0f); EXPECT_EQ(r[2], 3.0f);
  float v4[4] = {10, 20, 30, 40};
  Vec4_ValueSub(h(r), 1, 2, 3, 4, h(v4));
  EXPECT_EQ(r[3], -36.0f);
  Vec4_ValueDiv(h(r), 1, 2, 3, 4, h(v4));
  EXPECT_EQ(r[3], 0.1f);
  Vec4_ScalarSub(h(r), 1, h(v4));
  EXPECT_EQ(r[3], -39.0f);
}

TEST(VectorArithmetic, ValueFamiliesPairEachValueWithItsComponent) {
  float v[4] = {10, 20, 30, 40}, r[4] = {};
  Vec2_AddValue(h(r), h(v), 1, 2);
  EXPECT_EQ(r[0], 11.0f); EXPECT_EQ(r[1], 22.0f); EXPECT_EQ(r[2], 0.0f);
  Vec3_SubValue(h(r), h(v), 1, 2, 3);
  EXPECT_EQ(r[2], 27.0f);
  Vec4_MulValue(h(r), h(v), 1, 2, 3, 4);
  EXPECT_EQ(r[3], 160.0f);
  Vec4_DivValue(h(r), h(v), 1, 2, 3, 4);
  EXPECT_EQ(r[3], 10.0f);
  Vec3_MulValue(h(r), h(v), 0.5f, 0.5f, 0.5f);
  EXPECT_EQ(r[2], 15.0f);
  Vec2_DivValue(h(r), h(v), 4, 5);
  EXPECT_EQ(r[1], 4.0f);
}

TEST(VectorArithmetic, IeeeResultsForZeroDivisorsAndNaN) {
  float v[4] = {1, -1, 0, 2}, r[4];
  Vec4_DivScalar(h(r), h(v), 0);
  EXPECT_EQ(r[0], kInf);
  EXPECT_EQ(r[1], -kInf);
  EXPECT_TRUE(std::isnan(r[2]));
  EXPECT_EQ(r[3], kInf);
  float n[3] = {std::numeric_limits<float>::quiet_NaN(), 1, -0.0f}, m[3] = {1, 1, 0};
  Vec3_Add(h(r), h(n), h(m));
  EXPECT_TRUE(std::isnan(r[0]));
  EXPECT_EQ(bits(r[2]), bits(0.0f)) << "-0 + 0 = +0";
  Vec3_Mul(h(r), h(n), h(m));
  EXPECT_EQ(bits(r[2]), bits(-0.0f)) << "-0 × 0 = -0";
}

TEST(VectorArithmetic, AResultMayBeAnyInput) {
  float a[4] = {1, 2, 3, 4}, b[4] = {10, 20, 30, 40};
  Vec3_Add(h(a), h(a), h(a));
  EXPECT_EQ(a[0], 2.0f); EXPECT_EQ(a[2], 6.0f); EXPECT_EQ(a[3], 4.0f);
  Vec3_Mul(h(a), h(a), h(b));
  EXPECT_EQ(a[0], 20.0f); EXPECT_EQ(a[2], 180.0f);
  Vec4_Sub(h(b), h(a), h(b));
  EXPECT_EQ(b[0], 10.0f); EXPECT_EQ(b[3], -36.0f);
  Vec2_ValueDiv(h(a), 1, 1, h(a));
  EXPECT_EQ(a[0], 0.05f);
}

}  // namespace
}  // namespace kv::test
