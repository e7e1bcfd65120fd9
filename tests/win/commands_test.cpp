// Commands reached as a script reaches them: by keyword and type letters from the
// DLL's command table, with 32-bit argument words. Overloaded keywords must reach
// the export their letters name.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "harness/plugin.h"
#include "support/meshes.h"

namespace {

using kvt::Plugin;

const Plugin& p() { return Plugin::get(); }

struct Vector {
  float c[4];
};

// A command that stores a vector: its keyword, letters, and what it stores.
struct Stored {
  const char* keyword;
  const char* letters;
  std::function<void(float* out)> call;
  int width;
  Vector expected;
};

TEST(VectorCommands, StoringCommandsThroughTheTable) {
  static float a[4] = {1, 2, 3, 4}, b[4] = {10, 20, 30, 40}, x[3] = {1, 0, 0}, y[3] = {0, 1, 0};
  static float v34[3] = {0, 3, 4}, angles[3] = {0, 90, 0}, slant[2] = {0.8f, -0.6f}, floor2[2] = {0, 1};
  const Stored cases[] = {
      {"pVec3_Add", "LLL", [](float* o) { p().command("pVec3_Add", "LLL", {o, a, b}); }, 3, {{11, 22, 33}}},
      {"pVec2_ScalarSub", "LFL", [](float* o) { p().command("pVec2_ScalarSub", "LFL", {o, 10.0f, a}); }, 2, {{9, 8}}},
      {"pVec4_ValueDiv", "LFFFFL",
       [](float* o) { p().command("pVec4_ValueDiv", "LFFFFL", {o, 10.0f, 10.0f, 3.0f, 8.0f, a}); }, 4, {{10, 5, 1, 2}}},
      {"pVec4_DivScalar", "LLF", [](float* o) { p().command("pVec4_DivScalar", "LLF", {o, b, 10.0f}); }, 4, {{1, 2, 3, 4}}},
      {"pVec3_Cross", "LLL", [](float* o) { p().command("pVec3_Cross", "LLL", {o, x, y}); }, 3, {{0, 0, 1}}},
      {"pVec3_Perp", "LL", [](float* o) { p().command("pVec3_Perp", "LL", {o, a}); }, 3, {{0, -3, 2}}},
      {"pVec3_ScaleToLength", "LLF", [](float* o) { p().command("pVec3_ScaleToLength", "LLF", {o, v34, 10.0f}); }, 3,
       {{0, 6, 8}}},
      {"pVec3_Normalize", "LL", [](float* o) { p().command("pVec3_Normalize", "LL", {o, v34}); }, 3, {{0, 0.6f, 0.8f}}},
      {"pVec2_Reflect", "LLL", [](float* o) { p().command("pVec2_Reflect", "LLL", {o, slant, floor2}); }, 2,
       {{-0.8f, -0.6f}}},
      {"pVec2_Refract", "LLLF", [](float* o) { p().command("pVec2_Refract", "LLLF", {o, slant, floor2, 1.5f}); }, 2,
       {{0, 0}}},
      {"pVec3_MirrorPoint", "LLL", [](float* o) { p().command("pVec3_MirrorPoint", "LLL", {o, a, y}); }, 3,
       {{-1, 0, -3}}},
      {"pVec2_WrapDegrees", "LL",
       [](float* o) {
         float w[2] = {370, -10};
         p().command("pVec2_WrapDegrees", "LL", {o, w});
       },
       2, {{10, 350}}},
      {"pVec3_DegToRad (vector)", "LL", [](float* o) { p().command("pVec3_DegToRad", "LL", {o, angles}); }, 3,
       {{0, 1.57079637f, 0}}},
      {"pVec3_DegToRad (floats)", "LFFF",
       [](float* o) { p().command("pVec3_DegToRad", "LFFF", {o, 180.0f, 90.0f, 0.0f}); }, 3,
       {{3.14159274f, 1.57079637f, 0}}},
      {"pVec3_AxisToDeg", "LL", [](float* o) { p().command("pVec3_AxisToDeg", "LL", {o, y}); }, 3, {{270, 0, 0}}},
      {"pVec4_Invert", "LL", [](float* o) { p().command("pVec4_Invert", "LL", {o, a}); }, 4, {{1, 0.5f, 1 / 3.0f, 0.25f}}},
  };
  for (const Stored& c : cases) {
    float out[4] = {7, 7, 7, 7};
    c.call(out);
    for (int i = 0; i < c.width; ++i) EXPECT_EQ(out[i], c.expected.c[i]) << c.keyword << " " << c.letters << " [" << i << "]";
    for (int i = c.width; i < 4; ++i) EXPECT_EQ(out[i], 7.0f) << c.keyword << ": wrote past its width";
  }
}

TEST(VectorCommands, ValueCommandsReturnFloatBits) {
  float a[4] = {1, 2, 3, 4}, b[4] = {10, 20, 30, 40}, v34[2] = {3, 4}, plane[4] = {0, 3, 4, 9};
  float quat[4] = {0.5f, 0.5f, 0.5f, 0.5f};
  const struct {
    const char* keyword;
    float got, expected;
  } cases[] = {
      {"pVec3_Dot", p().command_float("pVec3_Dot", "FLL", {a, b}), 140},
      {"pVec2_CCW", p().command_float("pVec2_CCW", "FLL", {a, b}), 0},
      {"pVec2_Length", p().command_float("pVec2_Length", "FL", {v34}), 5},
      {"pVec4_DistSq", p().command_float("pVec4_DistSq", "FLL", {a, b}), 81 * 30},
      {"pVec3_LengthManhatten", p().command_float("pVec3_LengthManhatten", "FL", {a}), 6},
      {"pPlane_Length (Vec3_Length)", p().command_float("pPlane_Length", "FL", {plane}), 5},
      {"pPlane_Dot (Vec4_Dot)", p().command_float("pPlane_Dot", "FLL", {plane, a}), 54},
      {"pQuat_MagnitudeSq (Vec4_LengthSq)", p().command_float("pQuat_MagnitudeSq", "FL", {quat}), 1},
      {"pVec2_AxisToDeg", p().command_float("pVec2_AxisToDeg", "FL", {v34}), float(std::atan2(4.0, 3.0)) * 57.2957802f},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.keyword;
}

TEST(VectorCommands, InterpolationAndGeometryThroughTheTable) {
  float a[4] = {1, 0, 0, 0}, b[4] = {-0.6f, 0.8f, 0, 0}, r[4] = {};
  p().command("pVec3_SLerp", "LLLF", {r, a, b, 1.0f});
  EXPECT_NEAR(r[0], 0.6f, 1e-6); EXPECT_NEAR(r[1], -0.8f, 1e-6);
  EXPECT_EQ(b[0], -0.6f) << "the keyframe b is left alone";
  float q1[4] = {0, 0, 0, 1}, q2[4] = {0, 0, 1, 0};
  p().command("pQuat_Lerp", "LLLF", {r, q1, q2, 0.5f});
  EXPECT_EQ(r[2], 0.5f); EXPECT_EQ(r[3], 0.5f);
  p().command("pQuat_NLerp", "LLLF", {r, q1, q2, 0.5f});
  EXPECT_NEAR(r[2], 0.70710678f, 1e-7);
  float c0[2] = {0, 0}, c1[2] = {1, 0}, c2[2] = {0, 1}, c3[2] = {1, 1};
  p().command("pVec2_BiCerp", "LLLLLFF", {r, c0, c1, c2, c3, 0.25f, 0.75f});
  EXPECT_EQ(r[0], 0.15625f); EXPECT_EQ(r[1], 0.84375f);
  float l0[2] = {0, 0}, l1[2] = {1, 0}, l2[2] = {2, 0}, l3[2] = {3, 0};
  p().command("pVec2_Bezier", "LLLLLF", {r, l0, l1, l2, l3, 0.25f});
  EXPECT_EQ(r[0], 1.4375f);
  p().command("pVec2_Cubic", "LLLLLF", {r, l0, l1, l2, l3, 0.25f});
  EXPECT_EQ(r[0], 1.34375f);
  float inside[2] = {0.25f, 0.25f}, weights[3];
  p().command("pVec2_BaryCentricWeights", "LLLLL", {weights, inside, c0, c1, c2});
  EXPECT_EQ(weights[0], 0.5f); EXPECT_EQ(weights[1], 0.25f); EXPECT_EQ(weights[2], 0.25f);
  float pt[2] = {3, 1};
  p().command("pVec2_GetClosestPointOnLineSeg", "LLLL", {r, pt, c0, c1});
  EXPECT_EQ(r[0], 1.0f); EXPECT_EQ(r[1], 0.0f);
  EXPECT_EQ(p().command_float("pVec2_GetDistFromLineSeg", "FLLL", {pt, c0, c1}), 2.236068f);
  EXPECT_EQ(p().command_float("pVec2_GetAngleBetween", "FLL", {c1, c2}), 1.5707964f);
  float n[3] = {9, 9, 9}, p0[3] = {0, 0, 0}, p1[3] = {2, 0, 0}, p2[3] = {0, 2, 0};
  p().command("pVec3_VertexTBN", "LLLLLLLLL", {0, 0, n, p0, 0, p1, 0, p2, 0});
  EXPECT_EQ(n[2], 4.0f);
  float quarter[4] = {0, 0, 0.70710678f, 0.70710678f}, x[3] = {1, 0, 0};
  p().command("pVec3_TransformQuat", "LLL", {x, x, quarter});
  EXPECT_NEAR(x[0], 0, 1e-7); EXPECT_NEAR(x[1], 1, 1e-7);
  const float move[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1};
  float v2[2] = {3, 4}, out4[4];
  p().command("pVec2_Transform", "LLL", {out4, v2, move});
  EXPECT_EQ(out4[0], 13.0f); EXPECT_EQ(out4[1], 24.0f); EXPECT_EQ(out4[2], 30.0f); EXPECT_EQ(out4[3], 1.0f);
}

TEST(MatrixCommands, OverloadsReachTheirExports) {
  float angles[3] = {0.3f, -0.7f, 1.1f}, by_floats[16], by_vector[16];
  p().command("pMat4_RotationXYZ", "LFFF", {by_floats, 0.3f, -0.7f, 1.1f});
  p().command("pMat4_RotationXYZ", "LL", {by_vector, angles});
  EXPECT_EQ(std::memcmp(by_floats, by_vector, sizeof by_floats), 0);
  const std::uint32_t made = p().command("pMat4_MakeNew", "LFFFFFFFFFFFFFFFF",
                                         {2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 3.0f, 0.0f, 0.0f, 0.0f, 0.0f, 4.0f, 0.0f,
                                          5.0f, 6.0f, 7.0f, 1.0f});
  ASSERT_NE(made, 0u);
  float* m = kvt::as_pointer(made);
  EXPECT_EQ(m[10], 4.0f); EXPECT_EQ(m[12], 5.0f);
  EXPECT_EQ(p().command_float("pMat4_GetElement", "FLLL", {m, 4, 2}), 6.0f);
  float inverse[16];
  EXPECT_EQ(p().command_float("pMat4_Inverse", "FLL", {inverse, m}), 24.0f) << "the determinant";
  EXPECT_EQ(inverse[0], 0.5f); EXPECT_EQ(inverse[12], -2.5f);
  float look[3];
  p().command("pMat4_GetLookVec", "LLL", {look, m, 1});
  EXPECT_EQ(look[2], 1.0f) << "normalised";
  p().command("pMat4_GetLookVec", "LL", {look, m});
  EXPECT_EQ(look[2], 4.0f);
  p().command("pMat4_Delete", "L", {m});
  // D3DX's affine check value: row 4 is the centre turned back, plus the move.
  float affine[16], centre[3] = {-2, 13, -9}, q[4] = {1, -4, 7, -11}, move[3] = {1, -3, 7};
  p().command("pMat4_Affine", "LFLLL", {affine, 3.56f, centre, q, move});
  EXPECT_NEAR(affine[12], -1239, 0.01); EXPECT_NEAR(affine[13], 667, 0.01); EXPECT_NEAR(affine[14], 567, 0.01);
  EXPECT_NEAR(affine[0], 3.56f * -129, 0.01);
}

TEST(QuatCommands, OverloadsAndVec4RoutesReachTheirExports) {
  float by_floats[4], by_vector[4], angles[3] = {0.3f, -0.7f, 1.1f};
  p().command("pQuat_RotationXYZ", "LFFF", {by_floats, 0.3f, -0.7f, 1.1f});
  p().command("pQuat_RotationXYZ", "LL", {by_vector, angles});
  EXPECT_EQ(std::memcmp(by_floats, by_vector, sizeof by_floats), 0);
  const std::uint32_t made = p().command("pQuat_MakeNew", "LFFFF", {1.0f, 2.0f, 2.0f, 4.0f});
  ASSERT_NE(made, 0u);
  EXPECT_EQ(p().command_float("pQuat_Magnitude", "FL", {made}), 5.0f);
  EXPECT_EQ(p().command_float("pVec4_Length", "FL", {made}), 5.0f) << "pVec4_Length reaches Quat_Magnitude";
  float unit[4];
  p().command("pVec4_Normalize", "LL", {unit, made});
  EXPECT_EQ(unit[3], 0.8f);
  p().command("pQuat_Delete", "L", {made});
  float about_z[4] = {0, 0, 0.47942554f, 0.87758256f}, axis[4] = {9, 9, 9, 9};
  EXPECT_NEAR(p().command_float("pQuat_GetAxis", "FLL", {axis, about_z}), 1.0f, 1e-6) << "the angle";
  EXPECT_EQ(axis[3], 9.0f);
  p().command("pQuat_GetAxis", "LL", {axis, about_z});
  EXPECT_NEAR(axis[3], 1.0f, 1e-6);
}

TEST(PlaneCommands, KeywordsReachPlaneAndVectorExports) {
  const std::uint32_t plane = p().command("pPlane_MakeNew", "LFFFF", {0.0f, 3.0f, 4.0f, -10.0f});
  ASSERT_NE(plane, 0u);
  EXPECT_EQ(p().command_float("pPlane_GetD", "FL", {plane}), -10.0f);
  EXPECT_EQ(p().command_float("pPlane_Length", "FL", {plane}), 5.0f) << "the normal's length";
  float origin[3] = {0, 0, 0}, direction[3] = {0, 0, 0.5f}, hit[4], normal[3];
  EXPECT_EQ(p().command("pPlane_RayCast", "LLLLLL", {hit, normal, plane, origin, direction}), 1u);
  EXPECT_EQ(hit[2], 2.5f); EXPECT_EQ(hit[3], 5.0f);
  EXPECT_EQ(normal[1], 0.6f); EXPECT_EQ(normal[2], 0.8f);
  p().command("pPlane_Inverse", "LL", {plane, plane});
  EXPECT_EQ(p().command_float("pPlane_GetB", "FL", {plane}), -3.0f);
  p().command("pPlane_Delete", "L", {plane});
  const std::uint32_t f = p().command("pFrustum_MakeNew", "L", {});
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  p().command("pFrustum_ExtractVP", "LL", {f, identity});
  EXPECT_EQ(p().command("pFrustum_IntersectAABC", "LLFFFF", {f, 0.0f, 0.0f, 0.0f, 2.0f}), 1u);
  EXPECT_EQ(p().command("pFrustum_IntersectSphere", "LLFFFF", {f, 0.0f, 3.0f, 0.0f, 1.0f}), 0xFFFFFFFFu);
  EXPECT_EQ(p().command_float("pFrustum_TestSphereEx", "FLFFFF", {f, 0.0f, 0.0f, 0.5f, 0.25f}), 1.75f);
  p().command("pFrustum_Delete", "L", {f});
}

TEST(ViewPortCommands, ValuesRectangleAndPoints) {
  const std::uint32_t blank = p().command("pViewPort_MakeNew", "L", {});
  ASSERT_NE(blank, 0u);
  EXPECT_EQ(p().command("pViewPort_GetWidth", "LL", {blank}), 0u);
  p().command("pViewPort_Delete", "L", {blank});
  const std::uint32_t vp = p().command("pViewPort_MakeNew", "LLLLLLL", {10, 20, 300, 400, 0, 1});
  const struct {
    const char* keyword;
    std::uint32_t expected;
  } getters[] = {{"pViewPort_GetLeft", 10}, {"pViewPort_GetTop", 20}, {"pViewPort_GetWidth", 300},
                 {"pViewPort_GetHeight", 400}, {"pViewPort_GetRight", 310}, {"pViewPort_GetBottom", 420}};
  for (const auto& g : getters) EXPECT_EQ(p().command(g.keyword, "LL", {vp}), g.expected) << g.keyword;
  EXPECT_EQ(p().command_float("pViewPort_GetMinZ", "FL", {vp}), 0.0f);
  EXPECT_EQ(p().command_float("pViewPort_GetMaxZ", "FL", {vp}), 1.0f) << "an integer made a float";
  // Points: the left and top edges are in, the right and bottom ones out; nothing
  // wraps at the integer limits.
  const struct {
    int x, y, left, top, width, height;
    std::uint32_t inside;
  } points[] = {
      {10, 20, 10, 20, 300, 400, 1},       {309, 419, 10, 20, 300, 400, 1},  {310, 20, 10, 20, 300, 400, 0},
      {9, 20, 10, 20, 300, 400, 0},        {10, 420, 10, 20, 300, 400, 0},   {-5, -5, 10, 20, 300, 400, 0},
      {INT32_MAX, 0, INT32_MAX - 1, 0, 2, 1, 1},  {INT32_MIN, 0, 0, 0, -1, 1, 0},  {-1, 0, -1, 0, 2, 1, 0},
      {INT32_MAX, 5, 0, 0, -1, 10, 1},
  };
  for (const auto& t : points) {
    p().command("pViewPort_Set", "LLLLLLL", {vp, t.left, t.top, t.width, t.height, 0, 1});
    EXPECT_EQ(p().command("pViewPort_TestPoint", "LLLL", {vp, t.x, t.y}), t.inside)
        << "(" << t.x << ", " << t.y << ") in " << t.left << ", " << t.top << ", " << t.width << " × " << t.height;
  }
  p().command("pViewPort_Set", "LLLLLLL", {vp, INT32_MAX, -1, 2, 1, 0, 1});
  EXPECT_EQ(p().command("pViewPort_GetRight", "LL", {vp}), 0x80000001u) << "X + Width in 32 bits";
  EXPECT_EQ(p().command("pViewPort_GetBottom", "LL", {vp}), 0u) << "0xFFFFFFFF + 1 wraps";
  p().command("pViewPort_Delete", "L", {vp});
  p().command("pViewPort_Delete", "L", {vp});  // a second time: ignored
  float scaled[16], scales[3];
  p().command("pMat4_RotationZ", "LF", {scaled, 0.5f});
  p().command("pMat4_ScaleLocal", "LLFFF", {scaled, scaled, 2.0f, 1.0f, 1.0f});
  p().command("pMat4_GetScaleVec", "LL", {scales, scaled});
  EXPECT_EQ(scales[0], p().command_float("pMat4_GetScaleX", "FL", {scaled}));
  EXPECT_EQ(scales[1], p().command_float("pMat4_GetScaleY", "FL", {scaled}));
  EXPECT_EQ(scales[2], 1.0f);
}

}  // namespace

namespace {

// The edges mended in 1.2.0, each as the call that showed it, through the table:
// the keyword, its letters, the vectors its handles point to (a float argument
// last, where there is one), what it returns and what it stores in the first.
TEST(EdgeCommands, TheCallsThatShowedEachEdge) {
  const float inf = INFINITY, nan = NAN;
  using V = std::vector<float>;
  const V box_lo{-1, -1, 0}, box_hi{1, 1, 1}, cube_lo{-1, -1, -1}, x{1, 0, 0}, o{0, 0, 0}, floor{0, 0, 1, 0};
  const V a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0}, no{7, 7, 7};
  const struct {
    const char *name, *keyword, *letters;
    std::vector<V> values;
    float returned;
    V stored;
  } calls[] = {
      {"along the top face", "pRay_HitAABB", "FLLLL", {{-5, 0, 1}, x, box_lo, box_hi}, 4, {}},
      {"along a side face", "pRay_HitAABB", "FLLLL", {{1, -2, 1}, {0, 1, 0}, cube_lo, box_hi}, 1, {}},
      {"signed zeros", "pRay_HitAABB", "FLLLL", {{1, -2, 1}, {-0.0f, 1, -0.0f}, cube_lo, box_hi}, 1, {}},
      {"along the bottom face, −0", "pRay_HitAABB", "FLLLL", {{-5, 0, 0}, {1, 0, -0.0f}, box_lo, box_hi}, 4, {}},
      {"a flat box", "pRay_HitAABB", "FLLLL", {{-5, 0, 0}, x, box_lo, {1, 1, 0}}, 4, {}},
      {"corners reversed", "pRay_HitAABB", "FLLLL", {{-5, 2, 3}, x, {1, 2, 3}, {-1, -2, -3}}, 4, {}},
      {"infinite dir away from a box", "pRay_HitAABB", "FLLLL", {{-5, 0, 0}, {-inf, 0, 0}, cube_lo, box_hi}, -1, {}},
      {"infinite dir away from a plane", "pRay_HitPlane", "FLLL", {{0, 0, 1}, {0, 0, inf}, floor}, -1, {}},
      {"infinite dir outside a sphere", "pRay_HitSphere", "FLLLF", {{-5, 0, 0}, {inf, 0, 0}, o, {1}}, -1, {}},
      {"a t beyond the floats", "pRay_HitPlane", "FLLL", {{0, 0, 1e38f}, {0, 0, -1e-38f}, floor}, -1, {}},
      {"an infinite end", "pPlane_IntersectLineSeg", "LLLLL", {no, {1, 0, 0, 0}, {-inf, 0, 0}, x}, 0, o},
      {"a NaN at the other end", "pPlane_IntersectLineSeg", "LLLLL", {no, {0, 1, 0, 0}, {1, 0, 2}, {nan, 0, 0}}, 0, o},
      {"a hit at the origin is +0", "pRay_HitTriangle", "FLLLLL", {{0.2f, 0.2f, 0}, {0, 0, -1}, a, b, c}, 0, {}},
      {"a zero dir on the triangle", "pRay_HitTriangle", "FLLLLLL", {{0.25f, 0.5f, 0}, o, a, b, c, {7, 7}}, 0, {}},
      {"SLerp from a zero vector", "pVec3_SLerp", "LLLF", {no, x, o, {0}}, 0, x},
      {"SLerp of Vec2 likewise", "pVec2_SLerp", "LLLF", {no, x, o, {0}}, 0, {1, 0, 7}},
      {"not a half turn", "pQuat_RotationArc", "LLL", {{7, 7, 7, 7}, x, {-1, 0.001f, 0}}, 0, {0, 0, 0.99999988f, 0.0005f}},
      {"a right angle does not flip", "pQuat_SLerp", "LLLF", {{7, 7, 7, 7}, {0, 0, 0, 1}, b, {0.5f}}, 0,
       {0.70710677f, 0, 0, 0.70710677f}},
      {"a cross product that cancels", "pVec3_Cross", "LLL", {no, {0, 1.00000012f, 1}, {0, 1, 0.99999994f}}, 0,
       {5.96046377e-08f, 0, 0}},
  };
  for (auto c : calls) {
    std::vector<kvt::Arg> args;
    const bool value = c.letters[0] == 'F';
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      if (c.letters[i + value] == 'F') args.emplace_back(c.values[i][0]); else args.emplace_back(c.values[i].data());
    }
    const std::uint32_t r = p().command(c.keyword, c.letters, args);
    EXPECT_EQ(r, value ? kvt::word(c.returned) : std::uint32_t(c.returned)) << c.name;
    for (std::size_t i = 0; i < c.stored.size(); ++i) EXPECT_NEAR(c.values[0][i], c.stored[i], 6e-8f) << c.name << " [" << i << "]";
  }
  float q[4], e[3];
  p().command("pQuat_RotationXYZ", "LFFF", {q, 0.3f, 1.5707f, 0.2f});
  p().command("pQuat_GetEulerRad", "LL", {e, q});
  const float near_pole[3] = {0.2999143f, 1.5707f, 0.1999143f};
  for (int i = 0; i < 3; ++i) EXPECT_LE(std::abs(int(kvt::word(e[i])) - int(kvt::word(near_pole[i]))), 4) << i;
}

}  // namespace

namespace {

// The faults mended in 1.2.1, each as the call that showed it, through the table.
// An argument is a float, a value (its floats) or an array (a keyword that makes
// it and its floats); what the command returns, and the floats it leaves in the
// values and arrays it was given, where they matter.
TEST(EdgeCommands, TheCallsThatShowedEachFault) {
  const float nan = NAN, payload = kvt::as_float(0x7FC12345u);
  using V = std::vector<float>;
  struct Value {
    const char* maker;  // a MakeArray keyword, or nullptr for a plain value
    V floats;
  };
  const V o{0, 0, 0}, a{0, 0, 0}, b{2, 0, 0}, c{0, 2, 0}, no{7, 7, 7};
  const V tri{-1, 1, -1, 0, 2, 2, 0, 2, 0};
  V four;
  for (int i = 0; i < 4; ++i) four.insert(four.end(), tri.begin(), tri.end());
  const V scaled{2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
  V identity_and_zero(32, 0.0f), two_scaled = scaled;
  for (int i = 0; i < 4; ++i) identity_and_zero[5 * i] = 1;
  two_scaled.insert(two_scaled.end(), scaled.begin(), scaled.end());
  const struct {
    const char *name, *keyword, *letters;
    std::vector<Value> values;
    float returned;
    int checked;     // which value to check afterwards (−1: none)
    std::size_t from;  // from its float number
    V expected;
  } calls[] = {
      {"a ray touching a box's edge", "pRay_HitAABB", "FLLLL", {{nullptr, o}, {nullptr, {1, 49, 0}}, {nullptr, {1, 48, -1}}, {nullptr, {2, 49, 1}}}, 1, -1, 0, {}},
      {"a ray touching a box's corner", "pRay_HitAABB", "FLLLL", {{nullptr, o}, {nullptr, {3, 49, 7}}, {nullptr, {3, 49, 7}}, {nullptr, {5, 50, 9}}}, 1, -1, 0, {}},
      {"an origin on an edge, along the plane", "pRay_HitTriangle", "FLLLLL", {{nullptr, {1, 1, 0}}, {nullptr, {1, 0, 0}}, {nullptr, a}, {nullptr, b}, {nullptr, c}}, 0, -1, 0, {}},
      {"an origin on a corner, no dir", "pRay_HitTriangle", "FLLLLL", {{nullptr, b}, {nullptr, o}, {nullptr, a}, {nullptr, b}, {nullptr, c}}, 0, -1, 0, {}},
      {"a −0 in dir keeps the −0 of u", "pRay_HitTriangleArray", "LLLLL", {{nullptr, o}, {nullptr, {0, 2, -0.0f}}, {"pVec3_MakeArray", four}, {nullptr, no}}, 0, -1, 0, {}},
      {"from inside a sphere of the array", "pRay_HitSphereArray", "LLLLLL", {{nullptr, o}, {nullptr, {0, 0, 1}}, {"pVec3_MakeArray", o}, {"pFloat_MakeArray", {1}}, {nullptr, no}}, 0, 4, 0, {0, 7, 7}},
      {"a NaN in one point's z", "pVec3_ArrayAABB", "LLL", {{nullptr, no}, {nullptr, no}, {"pVec3_MakeArray", {1, 2, 3, 4, 5, nan}}}, 0, 1, 0, {1, 2, 3}},
      {"points a unit in the last place apart", "pVec3_ArrayBoundingSphere", "FLL", {{nullptr, no}, {"pVec3_MakeArray", {100000, 0, 0, 100000.0078125f, 0, 0}}}, 0.0078125f, 0, 0, {100000, 0, 0}},
      {"a NaN payload turned", "pVec3_TransformQuatArray", "LLL", {{"pVec3_MakeArray", no}, {"pVec3_MakeArray", {payload, 1, 2}}, {nullptr, {nan, 0.5f, 0.25f, 1}}}, 0, 0, 0, {}},
      {"m inside out", "pMat4_MulArray", "LLL", {{"pMat4_MakeArray", identity_and_zero}, {"pMat4_MakeArray", two_scaled}, {nullptr, {}}}, 0, 0, 16, {2}},
      {"a flat scale keeps the rotation", "pMat4_Decompose", "LLLL", {{nullptr, no}, {nullptr, {7, 7, 7, 7}}, {nullptr, no}, {nullptr, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}}}, 0, 1, 0, {7, 7, 7, 7}},
      {"a half turn off the axes", "pQuat_RotationArc", "LLL", {{nullptr, {7, 7, 7, 7}}, {nullptr, {0.8f, 0.6f, 0}}, {nullptr, {-0.8f, -0.6f, 0}}}, 0, 0, 0, {0, 0, -1, 0}},
  };
  for (auto call : calls) {
    std::vector<kvt::Arg> args;
    std::vector<float*> at;
    std::vector<std::uint32_t> arrays;
    const bool value = std::string(call.letters).size() > call.values.size();
    for (Value& v : call.values) {
      if (v.maker) {
        const std::uint32_t array = p().command(v.maker, "LL", {int(v.floats.size() / (std::string(v.maker) == "pFloat_MakeArray" ? 1 : std::string(v.maker) == "pMat4_MakeArray" ? 16 : 3))});
        std::copy(v.floats.begin(), v.floats.end(), kvt::as_pointer(array));
        arrays.push_back(array), at.push_back(kvt::as_pointer(array)), args.emplace_back(array);
      } else {
        at.push_back(v.floats.data()), args.emplace_back(v.floats.data());
      }
    }
    if (std::string(call.name) == "m inside out") args.back() = kvt::Arg(at[0]);  // element 0 of out
    const std::uint32_t r = p().command(call.keyword, call.letters, args);
    EXPECT_EQ(r, call.letters[0] == 'F' && value ? kvt::word(call.returned) : std::uint32_t(int(call.returned))) << call.name;
    for (std::size_t i = 0; i < call.expected.size(); ++i) {
      EXPECT_EQ(kvt::word(at[std::size_t(call.checked)][call.from + i]), kvt::word(call.expected[i])) << call.name << " [" << i << "]";
    }
    if (std::string(call.name) == "a −0 in dir keeps the −0 of u") {
      float uv[2];
      const std::uint32_t t = p().command("pRay_HitTriangle", "FLLLLLL", {at[0], at[1], at[2], at[2] + 3, at[2] + 6, uv});
      EXPECT_EQ(kvt::word(at[3][0]), t);
      EXPECT_EQ(kvt::word(at[3][1]), kvt::word(uv[0])) << "u";
      EXPECT_EQ(kvt::word(at[3][2]), kvt::word(uv[1])) << "v";
    }
    if (std::string(call.name) == "a NaN payload turned") {
      float single[3];
      p().command("pVec3_TransformQuat", "LLL", {single, at[1], at[2]});
      for (int i = 0; i < 3; ++i) EXPECT_EQ(kvt::word(at[0][i]), kvt::word(single[i])) << call.name << " [" << i << "]";
    }
    for (const std::uint32_t array : arrays) p().command("pArray_Delete", "L", {array});
  }
  // The ray that passed between the six triangles around a corner of a closed sphere.
  const std::vector<float> sphere = kv::test::meshes::sphere(24, 48, 3, 40, -7, 0).corners();
  const std::uint32_t corners = p().command("pVec3_MakeArray", "LL", {int(sphere.size() / 3)});
  std::copy(sphere.begin(), sphere.end(), kvt::as_pointer(corners));
  const float from[3] = {40.9219208f, -6.73910332f, 0.823041677f}, way[3] = {1.84971619f, 0.887153625f, -0.823041677f};
  EXPECT_GE(int(p().command("pRay_HitTriangleArray", "LLLLL", {from, way, corners, 0})), 0) << "through a corner";
  p().command("pArray_Delete", "L", {corners});
}

}  // namespace
