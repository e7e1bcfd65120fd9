#include "vector/construction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "frame/pool_commands.h"
#include "support/library.h"

namespace kv::test {
namespace {

class VectorConstruction : public Library {};

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
const float kTolerance = from_bits(0x324E288Fu);

TEST(EqualTolerance, IsTheSingleOfOnePointTwoTimesTenToTheMinusEight) {
  EXPECT_EQ(bits(tolerance::kIsEqual), 0x324E288Fu);
}

TEST_F(VectorConstruction, MakeNewExStoresTheComponentsAndDeleteReleasesThem) {
  Handle v3 = Vec3_MakeNewEx(1, 2, 3);
  Handle v4 = Vec4_MakeNewEx(1, 2, 3, 4);
  Handle v2 = Vec2_MakeNewEx(-1, 0.5f);
  EXPECT_EQ(at(v3)[0], 1.0f); EXPECT_EQ(at(v3)[1], 2.0f); EXPECT_EQ(at(v3)[2], 3.0f);
  EXPECT_EQ(at(v4)[3], 4.0f);
  EXPECT_EQ(at(v2)[0], -1.0f); EXPECT_EQ(at(v2)[1], 0.5f);
  Vec4_Delete(v4);
  EXPECT_EQ(at(v3)[2], 3.0f) << "a Vec4 does not disturb a Vec3";
  Vec3_Delete(v3);
  Vec2_Delete(v2);
}

TEST_F(VectorConstruction, GettersAndSettersPassBitsUnchanged) {
  const float specials[] = {quiet_nan_with_payload(), signalling_nan(), -0.0f, kInf, from_bits(1)};
  for (float value : specials) {
    float v[4] = {};
    Vec4_SetX(h(v), value);
    Vec4_SetY(h(v), value);
    Vec4_SetZ(h(v), value);
    Vec4_SetW(h(v), value);
    EXPECT_EQ(Vec4_GetX(h(v)), bits(value));
    EXPECT_EQ(Vec4_GetY(h(v)), bits(value));
    EXPECT_EQ(Vec4_GetZ(h(v)), bits(value));
    EXPECT_EQ(Vec4_GetW(h(v)), bits(value));
    float copy[4];
    Vec4_Copy(h(copy), h(v));
    EXPECT_EQ(bits(copy[3]), bits(value));
    Vec4_Set(h(copy), value, 1, 2, value);
    EXPECT_EQ(bits(copy[0]), bits(value));
    EXPECT_EQ(bits(copy[3]), bits(value));
  }
}

TEST_F(VectorConstruction, SettersAndCopiesTouchOnlyTheirComponents) {
  float v[5] = {9, 9, 9, 9, 9};
  Vec2_Set(h(v), 1, 2);
  EXPECT_EQ(v[2], 9.0f);
  Vec3_Set(h(v), 1, 2, 3);
  EXPECT_EQ(v[3], 9.0f);
  Vec4_SetZ(h(v), 7);
  EXPECT_EQ(v[2], 7.0f);
  EXPECT_EQ(v[1], 2.0f);
  float d[5] = {0, 0, 0, 0, 0};
  Vec3_Copy(h(d), h(v));
  EXPECT_EQ(d[2], 7.0f);
  EXPECT_EQ(d[3], 0.0f);
  Vec2_Copy(h(d + 3), h(v));
  EXPECT_EQ(d[3], 1.0f); EXPECT_EQ(d[4], 2.0f);
  Vec4_Copy(h(v), h(v));
  EXPECT_EQ(v[2], 7.0f);
}

TEST_F(VectorConstruction, ComponentGettersServeEveryWidthThroughTheSharedLayout) {
  float plane[4] = {0.25f, 0.5f, 0.75f, -1};
  float vec2[2] = {3, 4};
  EXPECT_EQ(Vec4_GetZ(h(plane)), bits(0.75f));
  EXPECT_EQ(Vec4_GetX(h(vec2)), bits(3.0f));
  EXPECT_EQ(Vec4_GetY(h(vec2)), bits(4.0f));
}

struct EqualCase {
  const char* name;
  float a[4], b[4];
  std::int32_t equal2, equal3, equal4;
};

const EqualCase kEqualCases[] = {
    {"identical", {1, 2, 3, 4}, {1, 2, 3, 4}, 1, 1, 1},
    {"within the tolerance", {0, 0, 0, 0}, {1e-8f, 0, 0, 0}, 1, 1, 1},
    {"exactly the tolerance", {0, 0, 0, 0}, {kTolerance, 0, 0, 0}, 0, 0, 0},
    {"exactly minus the tolerance", {kTolerance, 0, 0, 0}, {0, 0, 0, 0}, 0, 0, 0},
    {"one step above one", {1, 0, 0, 0}, {1.00000012f, 0, 0, 0}, 0, 0, 0},
    {"differs in z only", {1, 2, 3, 4}, {1, 2, 5, 4}, 1, 0, 0},
    {"differs in w only", {1, 2, 3, 4}, {1, 2, 3, 5}, 1, 1, 0},
    {"NaN in a", {kNaN, 0, 0, 0}, {0, 0, 0, 0}, 0, 0, 0},
    {"NaN in both", {0, kNaN, 0, 0}, {0, kNaN, 0, 0}, 0, 0, 0},
    {"equal infinities", {kInf, 0, 0, 0}, {kInf, 0, 0, 0}, 0, 0, 0},
    {"signed zeros", {-0.0f, 0, 0, 0}, {0, -0.0f, 0, 0}, 1, 1, 1},
    {"tiny either side of zero", {6e-9f, 0, 0, 0}, {-5.9e-9f, 0, 0, 0}, 1, 1, 1},
    {"tiny either side, too far", {6.1e-9f, 0, 0, 0}, {-6.1e-9f, 0, 0, 0}, 0, 0, 0},
};

TEST_F(VectorConstruction, IsEqualComparesWithinAStrictTolerance) {
  for (const EqualCase& c : kEqualCases) {
    SCOPED_TRACE(c.name);
    Handle a = h(c.a), b = h(c.b);
    EXPECT_EQ(Vec2_IsEqual(a, b), c.equal2);
    EXPECT_EQ(Vec3_IsEqual(a, b), c.equal3);
    EXPECT_EQ(Vec4_IsEqual(a, b), c.equal4);
  }
  float self[3] = {1, kNaN, 3};
  EXPECT_EQ(Vec3_IsEqual(h(self), h(self)), 0) << "NaN is never equal, not even to itself";
}

struct MinMaxCase {
  const char* name;
  float a, b, min, max;
};

const MinMaxCase kMinMaxCases[] = {
    {"a smaller", 1, 3, 1, 3},
    {"b smaller", 5, 2, 2, 5},
    {"NaN in a: min keeps a, max takes b", kNaN, 1, kNaN, 1},
    {"NaN in b: min keeps a, max takes b", 1, kNaN, 1, kNaN},
    {"tie of zeros takes a", -0.0f, 0.0f, -0.0f, -0.0f},
    {"tie of zeros the other way takes a", 0.0f, -0.0f, 0.0f, 0.0f},
    {"infinities", -kInf, kInf, -kInf, kInf},
};

TEST_F(VectorConstruction, MinimizeAndMaximizeFollowTheirNanAndTieRules) {
  for (const MinMaxCase& c : kMinMaxCases) {
    SCOPED_TRACE(c.name);
    float a[4] = {c.a, c.a, c.a, c.a}, b[4] = {c.b, c.b, c.b, c.b};
    float lo[4], hi[4];
    Vec4_Minimize(h(lo), h(a), h(b));
    Vec4_Maximize(h(hi), h(a), h(b));
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(bits(lo[i]), bits(c.min));
      EXPECT_EQ(bits(hi[i]), bits(c.max));
    }
  }
}

TEST_F(VectorConstruction, MinimizeAndMaximizeWorkPerComponentAndInPlace) {
  float a[2] = {1, 5}, b[2] = {3, 2}, r[2];
  Vec2_Minimize(h(r), h(a), h(b));
  EXPECT_EQ(r[0], 1.0f); EXPECT_EQ(r[1], 2.0f);
  Vec2_Maximize(h(r), h(a), h(b));
  EXPECT_EQ(r[0], 3.0f); EXPECT_EQ(r[1], 5.0f);

  float p[4] = {1, 8, -2, 0}, q[4] = {4, 3, -1, 0};
  Vec4_Maximize(h(p), h(p), h(q));
  EXPECT_EQ(p[0], 4.0f); EXPECT_EQ(p[1], 8.0f); EXPECT_EQ(p[2], -1.0f);
  float s[3] = {1, 8, -2}, t[3] = {4, 3, -1};
  Vec3_Minimize(h(t), h(s), h(t));
  EXPECT_EQ(t[0], 1.0f); EXPECT_EQ(t[1], 3.0f); EXPECT_EQ(t[2], -2.0f);
}

TEST_F(VectorConstruction, VectorsLiveInTheirOwnPools) {
  Handle v2 = Vec2_MakeNewEx(1, 2);
  Vec3_Delete(v2);  // not a Vec3: ignored
  EXPECT_EQ(at(v2)[1], 2.0f);
  Vec2_Delete(v2);
}

}  // namespace
}  // namespace kv::test
