// Picking and collision at their edges: tangent rays, origins inside, rays along
// box faces, hits on triangle edges and corners in every corner order, touching
// spheres and boxes, degenerate directions, NaN. (Random inputs against the exact
// answer: the accuracy check.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "geometry/picking.h"
#include "matrix/algebra.h"
#include "matrix/construction.h"
#include "matrix/projection.h"
#include "quat/construction.h"
#include "support/library.h"
#include "vector/construction.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct V3 {
  float c[3];
};

float t_of(FloatBits b) { return from_bits(b); }

TEST(Picking, RaysSpheresAndBoxesAtTheirEdges) {
  const V3 o{{-5, 1, 0}}, x{{1, 0, 0}}, centre{{0, 0, 0}}, zero{{0, 0, 0}}, nan_dir{{kNaN, 0, 0}};
  const V3 lo{{0, 0, 0}}, hi{{1, 1, 1}}, face{{-1, 0, 0.5f}}, inside{{0.5f, 0.25f, 0.75f}}, diagonal{{1, 1, 1}};
  const V3 far_corner{{2, 2, 2}}, touching{{1, 2, 0.5f}};
  const struct {
    const char* name;
    std::function<float()> call;
    float expected;
  } cases[] = {
      {"tangent ray grazes the sphere", [&] { return t_of(Ray_HitSphere(h(&o), h(&x), h(&centre), 1)); }, 5},
      {"ray past the sphere", [&] { return t_of(Ray_HitSphere(h(&o), h(&x), h(&centre), 0.99f)); }, -1},
      {"origin inside the sphere", [&] { return t_of(Ray_HitSphere(h(&inside), h(&x), h(&centre), 1)); }, 0},
      {"sphere behind", [&] { return t_of(Ray_HitSphere(h(&touching), h(&x), h(&centre), 1)); }, -1},
      {"zero dir from inside", [&] { return t_of(Ray_HitSphere(h(&o), h(&zero), h(&centre), 10)); }, 0},
      {"zero dir from outside", [&] { return t_of(Ray_HitSphere(h(&o), h(&zero), h(&centre), 1)); }, -1},
      {"radius 0 is a point", [&] { return t_of(Ray_HitSphere(h(&centre), h(&x), h(&centre), 0)); }, 0},
      {"negative radius", [&] { return t_of(Ray_HitSphere(h(&centre), h(&x), h(&centre), -1)); }, -1},
      {"NaN dir from inside", [&] { return t_of(Ray_HitSphere(h(&centre), h(&nan_dir), h(&centre), 1)); }, -1},
      {"ray along a box face", [&] { return t_of(Ray_HitAABB(h(&face), h(&x), h(&lo), h(&hi))); }, 1},
      {"along a face, corners swapped", [&] { return t_of(Ray_HitAABB(h(&face), h(&x), h(&hi), h(&lo))); }, 1},
      {"pointing away from the box", [&] { return t_of(Ray_HitAABB(h(&far_corner), h(&far_corner), h(&hi), h(&lo))); }, -1},
      {"toward a box corner", [&] {
         const V3 back{{-1, -1, -1}};
         return t_of(Ray_HitAABB(h(&far_corner), h(&back), h(&lo), h(&hi)));
       }, 1},
      {"origin inside the box", [&] { return t_of(Ray_HitAABB(h(&inside), h(&x), h(&lo), h(&hi))); }, 0},
      {"zero dir outside the box", [&] { return t_of(Ray_HitAABB(h(&o), h(&zero), h(&lo), h(&hi))); }, -1},
      {"zero dir component outside its slab", [&] {
         const V3 above{{-1, 2, 0.5f}};
         return t_of(Ray_HitAABB(h(&above), h(&x), h(&lo), h(&hi)));
       }, -1},
      {"NaN corner", [&] { return t_of(Ray_HitAABB(h(&face), h(&x), h(&lo), h(&nan_dir))); }, -1},
      {"NaN dir from inside the box", [&] { return t_of(Ray_HitAABB(h(&inside), h(&nan_dir), h(&lo), h(&hi))); }, -1},
      {"grazing a box corner: entry and exit at once", [&] {
         const V3 from{{0, 5, 2}}, p{{4, 6, 8}}, q{{1, 2, 3}};
         return t_of(Ray_HitAABB(h(&from), h(&diagonal), h(&p), h(&q)));
       }, 1},
      {"touching spheres", [&] {
         const V3 five_away{{3, 4, 0}};
         return float(Sphere_HitSphere(h(&centre), 1, h(&five_away), 4));
       }, 1},
      {"spheres apart", [&] { return float(Sphere_HitSphere(h(&centre), 1, h(&o), 4)); }, 0},
      {"radius 0 on the other", [&] { return float(Sphere_HitSphere(h(&x), 0, h(&centre), 1)); }, 1},
      {"boxes touching at a corner", [&] { return float(AABB_HitAABB(h(&lo), h(&hi), h(&far_corner), h(&diagonal))); }, 1},
      {"boxes apart", [&] { return float(AABB_HitAABB(h(&lo), h(&hi), h(&far_corner), h(&far_corner))); }, 0},
      {"a box with a NaN corner", [&] { return float(AABB_HitAABB(h(&nan_dir), h(&hi), h(&lo), h(&hi))); }, 0},
      {"box touching a sphere", [&] { return float(AABB_HitSphere(h(&hi), h(&lo), h(&touching), 1)); }, 1},
      {"radius -1 where 1 would touch", [&] { return float(AABB_HitSphere(h(&hi), h(&lo), h(&touching), -1)); }, 0},
      {"a sphere and a box with a NaN corner", [&] { return float(AABB_HitSphere(h(&nan_dir), h(&hi), h(&inside), 1)); }, 0},
      {"point on a box face", [&] { return float(AABB_HasPoint(h(&lo), h(&hi), h(&x))); }, 1},
      {"NaN point", [&] { return float(AABB_HasPoint(h(&lo), h(&hi), h(&nan_dir))); }, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.call(), c.expected) << c.name;
}

TEST(Picking, TrianglesHitOnEdgesAndCornersInEveryCornerOrder) {
  // A tilted triangle, and rays straight down through its corner and the midpoint
  // of an edge, exactly: every corner order must give the same answer, bit for bit.
  const V3 corners[3] = {{{0.25f, 0.5f, 0.75f}}, {{2.5f, 0.75f, -0.5f}}, {{1, 2, 0.625f}}};
  const V3 down{{0, 0, -1}};
  const V3 midpoint{{1.375f, 0.625f, 0.125f}};
  const struct {
    const char* name;
    V3 target;
    bool hit;
  } targets[] = {{"corner", corners[1], true}, {"edge midpoint", midpoint, true}, {"outside", {{3, 3, 3}}, false}};
  const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  for (const auto& target : targets) {
    const V3 origin{{target.target.c[0], target.target.c[1], 5}};
    const float first = t_of(Ray_HitTriangle(h(&origin), h(&down), h(&corners[0]), h(&corners[1]), h(&corners[2])));
    EXPECT_EQ(first >= 0, target.hit) << target.name;
    for (const auto& o : orders) {
      const float t = t_of(Ray_HitTriangle(h(&origin), h(&down), h(&corners[o[0]]), h(&corners[o[1]]), h(&corners[o[2]])));
      EXPECT_EQ(bits(t), bits(first)) << target.name << " order " << o[0] << o[1] << o[2];
    }
  }
  // The weights give the hit back; a miss leaves uv alone; lying in the plane and
  // zero area miss.
  const V3 o{{0.5f, 0.5f, 5}}, minus_z{{0, 0, -2}}, a{{0, 0, 0}}, b{{2, 0, 0}}, c{{0, 4, 0}};
  float uv[2] = {9, 9};
  EXPECT_EQ(t_of(Ray_HitTriangleEx(h(&o), h(&minus_z), h(&a), h(&b), h(&c), h(uv))), 2.5f);
  EXPECT_EQ(uv[0], 0.25f); EXPECT_EQ(uv[1], 0.125f);
  const V3 in_plane{{-1, 0.5f, 0}}, along{{1, 0, 0}}, on_a{{0, 0, 0}};
  EXPECT_EQ(t_of(Ray_HitTriangleEx(h(&in_plane), h(&along), h(&a), h(&b), h(&c), h(uv))), -1.0f);
  EXPECT_EQ(t_of(Ray_HitTriangle(h(&on_a), h(&along), h(&a), h(&b), h(&c))), -1.0f) << "in the plane, origin on it";
  EXPECT_EQ(t_of(Ray_HitTriangle(h(&on_a), h(&minus_z), h(&a), h(&b), h(&c))), 0.0f) << "origin on it, crossing";
  EXPECT_EQ(t_of(Ray_HitTriangle(h(&o), h(&minus_z), h(&a), h(&b), h(&b))), -1.0f) << "zero area";
  // Corners in line (c − a = 7/6 (b − a)) whose edge functions round to one sign.
  const V3 o2{{0.442701489f, 0.47571972f, 3.53872061f}}, d2{{0.25f, 0.75f, -1.5f}};
  const V3 a2{{-1.5f, 3.25f, -0.75f}}, b2{{-3, -1.25f, 8.25f}}, c2{{-3.25f, -2, 9.75f}};
  EXPECT_EQ(t_of(Ray_HitTriangle(h(&o2), h(&d2), h(&a2), h(&b2), h(&c2))), -1.0f) << "zero area, rounded";
  EXPECT_EQ(uv[0], 0.25f) << "a miss writes nothing";
  const float floor_plane[4] = {0, 0, 1, 0}, parallel[3] = {1, 1, 0};
  EXPECT_EQ(t_of(Ray_HitPlane(h(&o), h(&minus_z), h(floor_plane))), 2.5f);
  EXPECT_EQ(t_of(Ray_HitPlane(h(&o), h(parallel), h(floor_plane))), -1.0f);
  EXPECT_EQ(t_of(Ray_HitPlane(h(&on_a), h(parallel), h(floor_plane))), 0.0f) << "on the plane, whatever dir";
  EXPECT_EQ(t_of(Ray_HitPlane(h(&o), h(&o), h(floor_plane))), -1.0f) << "the plane behind";
  const V3 below{{1, 2, -3}}, nan_dir{{kNaN, 5, -6}};
  EXPECT_EQ(t_of(Ray_HitPlane(h(&below), h(parallel), h(floor_plane))), -1.0f) << "parallel, from below";
  EXPECT_EQ(t_of(Ray_HitPlane(h(&on_a), h(&nan_dir), h(floor_plane))), -1.0f) << "NaN dir on the plane";
}

// Each closest point computed into the handle of p itself (an output may alias an input).
TEST(Picking, ClosestPoints) {
  const V3 a{{0, 0, 0}}, b{{4, 0, 0}}, c{{0, 4, 0}}, lo{{-1, -1, -1}}, hi{{1, 1, 1}}, dir{{2, 0, 0}}, zero{{0, 0, 0}};
  enum { Triangle, ZeroArea, Box, Ray, ZeroRay };
  const struct {
    const char* name;
    int command;
    V3 p, expected;
  } cases[] = {
      {"above the face", Triangle, {{1, 1, 3}}, {{1, 1, 0}}},
      {"past corner b", Triangle, {{6, -1, 2}}, {{4, 0, 0}}},
      {"past edge bc", Triangle, {{3, 3, -1}}, {{2, 2, 0}}},
      {"past edge ab", Triangle, {{2, -3, 0}}, {{2, 0, 0}}},
      {"zero area: the nearest point of its edges", ZeroArea, {{3, 2, 0}}, {{3, 0, 0}}},
      {"clamped into the box, corners swapped", Box, {{3, 2, 0}}, {{1, 1, 0}}},
      {"behind the ray: t clamped at 0", Ray, {{-3, 5, 0}}, c},
      {"beside the ray", Ray, {{3, 5, 0}}, {{3, 4, 0}}},
      {"zero dir: the origin", ZeroRay, {{3, 5, 0}}, c},
  };
  for (const auto& t : cases) {
    V3 p = t.p;
    if (t.command == Triangle) Vec3_ClosestPointOnTriangle(h(&p), h(&p), h(&a), h(&b), h(&c));
    if (t.command == ZeroArea) Vec3_ClosestPointOnTriangle(h(&p), h(&p), h(&a), h(&b), h(&b));
    if (t.command == Box) Vec3_ClosestPointOnAABB(h(&p), h(&p), h(&hi), h(&lo));
    if (t.command == Ray) Vec3_ClosestPointOnRay(h(&p), h(&p), h(&c), h(&dir));
    if (t.command == ZeroRay) Vec3_ClosestPointOnRay(h(&p), h(&p), h(&c), h(&zero));
    EXPECT_TRUE(floats_close(t.expected.c, p.c, 3, 1)) << t.name;
  }
  V3 corner{{1, 2, 3}}, p{{9, 0, 5}};
  const V3 other{{4, 6, 8}}, clamped{{4, 2, 5}};
  Vec3_ClosestPointOnAABB(h(&corner), h(&p), h(&corner), h(&other));
  EXPECT_TRUE(floats_close(clamped.c, corner.c, 3, 0)) << "into the handle of a corner";
}

// Facing a target: the world matrix is the look-at view's inverse, the quaternion
// its rotation; the degenerate cases have a fixed answer.
TEST(Picking, FacingAndTurningTowardADirection) {
  const V3 position{{1, 2, 3}}, target{{4, -2, 15}}, up{{0.1f, 1, -0.2f}};
  float face[16], view[16], product[16], look[16];
  for (auto [build, look_at] : {std::pair{Mat4_FaceLH, Mat4_LookAtLH}, {Mat4_FaceRH, Mat4_LookAtRH}}) {
    build(h(face), h(&position), h(&target), h(&up));
    look_at(h(view), h(&position), h(&target), h(&up));
    Mat4_Mul(h(product), h(face), h(view));
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_TRUE(floats_close(identity, product, 16, 0, 4e-7f));
  }
  Mat4_FaceLH(h(face), h(&position), h(&target), h(&up));
  const V3 dir{{3, -4, 12}};
  float q[4];
  Quat_LookRotation(h(q), h(&dir), h(&up));
  Mat4_FromQuat(h(look), h(q));
  EXPECT_TRUE(floats_close(face, look, 12, 2, 1e-7f)) << "the rotation of FaceLH";
  const struct {
    const char* name;
    V3 target, up;
    float rows[9];
  } degenerate[] = {
      {"target at the position", position, up, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
      // up replaced by the world axis least aligned with the look: x, the first of two zeros.
      {"up along the look", {{1, 7, 3}}, {{0, 2, 0}}, {0, 0, 1, 1, 0, 0, 0, 1, 0}},
      {"zero up", {{1, 2, -1}}, {{0, 0, 0}}, {0, 1, 0, 1, 0, 0, 0, 0, -1}},
  };
  for (const auto& d : degenerate) {
    Mat4_FaceLH(h(face), h(&position), h(&d.target), h(&d.up));
    for (int r = 0; r < 3; ++r) EXPECT_TRUE(floats_close(d.rows + 3 * r, face + 4 * r, 3, 0)) << d.name << " row " << r;
  }
  // The arc between two directions; opposite ones turn half a turn about a fixed axis.
  const struct {
    const char* name;
    V3 from, to;
    float q[4];
  } arcs[] = {
      {"a quarter turn about z", {{2, 0, 0}}, {{0, 3, 0}}, {0, 0, 0.70710678f, 0.70710678f}},
      {"opposite: about from × x", {{0, 0, 1}}, {{0, 0, -5}}, {0, 1, 0, 0}},
      {"opposite, from near x: about from × y", {{3, 0, 0}}, {{-1, 0, 0}}, {0, 0, 1, 0}},
      {"opposite, from near -x", {{-3, 0, 0}}, {{2, 0, 0}}, {0, 0, -1, 0}},
      {"opposite within 1e-6", {{1, 0, 0}}, {{-1, 0x1p-10f, 0}}, {0, 0, 1, 0}},
      {"a zero direction", {{0, 0, 0}}, {{1, 2, 3}}, {0, 0, 0, 1}},
  };
  for (const auto& arc : arcs) {
    Quat_RotationArc(h(q), h(&arc.from), h(&arc.to));
    EXPECT_TRUE(floats_close(arc.q, q, 4, 1)) << arc.name;
  }
}

TEST(Picking, ComparisonsWithATolerance) {
  const float a[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  float b[16];
  std::copy(a, a + 16, b);
  b[15] = 16.25f;
  EXPECT_EQ(Mat4_IsEqualEps(h(a), h(b), 0.25f), 1) << "at most eps";
  EXPECT_EQ(Mat4_IsEqualEps(h(a), h(b), 0.2f), 0);
  EXPECT_EQ(Mat4_IsEqual(h(a), h(b)), 0);
  EXPECT_EQ(Mat4_IsEqual(h(a), h(a)), 1);
  EXPECT_EQ(Vec4_IsEqualEps(h(a), h(a), -1), 0) << "a negative eps makes nothing equal";
  b[2] = kNaN;
  EXPECT_EQ(Vec3_IsEqualEps(h(b), h(b), 1e30f), 0) << "NaN is never equal";
  EXPECT_EQ(Vec2_IsEqualEps(h(b), h(a), 0), 1);
  EXPECT_EQ(Quat_IsEqualEps(h(a), h(b), 1), 0);
  b[2] = 3;
  EXPECT_EQ(Quat_IsEqual(h(a), h(b)), 1);
  b[3] = 4.0000005f;
  EXPECT_EQ(Quat_IsEqual(h(a), h(b)), 0) << "one ULP of 4 is not under 1.2e-8";
}

}  // namespace
}  // namespace kv::test
