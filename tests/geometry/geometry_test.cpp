// Planes and frustums: evaluation, intersections, extraction and the visibility
// tests, with the cases where a boundary, a corner order or a NaN decides.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <tuple>

#include "geometry/frustum.h"
#include "geometry/planes.h"
#include "geometry/visibility.h"
#include "support/library.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Planes {
  float f[24];
};

Planes extracted(const float (&m)[16]) {
  Planes p;
  Frustum_ExtractVP(h(p.f), h(m));
  return p;
}

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
// Left-handed perspective, near 1, far 100, 90° field of view.
const float kPerspective[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 100 / 99.0f, 1, 0, 0, -100 / 99.0f, 0};

TEST(Plane, DotsAndRaycast) {
  const float plane[4] = {0, 1, 0, -2}, on[3] = {5, 2, 7}, above[3] = {0, 5, 0};
  EXPECT_EQ(from_bits(Plane_DotCoord(h(plane), h(on))), 0.0f);
  EXPECT_EQ(from_bits(Plane_DotCoord(h(plane), h(above))), 3.0f);
  EXPECT_EQ(from_bits(Plane_DotNormal(h(plane), h(above))), 5.0f);
  const float floor_plane[4] = {0, 3, 0, 0}, origin[3] = {1, 10, -2}, down[3] = {0.5f, -2, 0}, flat[3] = {4, 0, 1};
  float hit[4] = {9, 9, 9, 9}, normal[3] = {9, 9, 9};
  EXPECT_EQ(Plane_Raycast(h(hit), 0, h(floor_plane), h(origin), h(down)), 1);
  const float expected[4] = {3.5f, 0, -2, 5};
  EXPECT_TRUE(floats_close(expected, hit, 4, 0));
  const float up[3] = {0, 2, 0};
  EXPECT_EQ(Plane_Raycast(h(hit), h(normal), h(floor_plane), h(origin), h(up)), 1);
  EXPECT_EQ(hit[3], -5.0f) << "behind the origin: t < 0";
  EXPECT_EQ(normal[1], 1.0f);
  float untouched[4] = {7, 7, 7, 7}, normal_untouched[3] = {7, 7, 7};
  const float nan_direction[3] = {0, kNaN, 0};
  for (const float* direction : {flat, nan_direction}) {
    EXPECT_EQ(Plane_Raycast(h(untouched), h(normal_untouched), h(floor_plane), h(origin), h(direction)), 0);
    EXPECT_EQ(untouched[0], 7.0f); EXPECT_EQ(untouched[3], 7.0f); EXPECT_EQ(normal_untouched[0], 7.0f);
  }
  // hit is the plane itself and a normal is wanted: the plane is read first.
  float shared[4] = {0, 3, 0, 0};
  EXPECT_EQ(Plane_Raycast(h(shared), h(normal), h(shared), h(origin), h(down)), 1);
  EXPECT_TRUE(floats_close(expected, shared, 4, 0));
  EXPECT_EQ(normal[0], 0.0f); EXPECT_EQ(normal[1], 1.0f);
}

TEST(Plane, SegmentHitsBetweenItsEndsInEitherOrder) {
  const float plane[4] = {0, 1, 0, 0};
  const struct {
    const char* name;
    float p1[3], p2[3];
    int hit;
    float point[3];
  } cases[] = {
      {"crossing", {1, -1, 1}, {3, 1, 3}, 1, {2, 0, 2}},
      {"crossing, ends swapped", {3, 1, 3}, {1, -1, 1}, 1, {2, 0, 2}},
      {"crossing, x falling", {3, -1, 1}, {1, 1, 3}, 1, {2, 0, 2}},
      {"crossing, z constant at 0", {1, -1, 0}, {3, 1, 0}, 1, {2, 0, 0}},
      {"both ends above", {1, 1, 1}, {3, 3, 3}, 0, {0, 0, 0}},
      {"ends at the plane", {4, 0, -2}, {6, 2, -4}, 1, {4, 0, -2}},
      {"parallel", {1, 1, 1}, {3, 1, 3}, 0, {0, 0, 0}},
      {"NaN", {kNaN, -1, 1}, {3, 1, 3}, 0, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    float out[3] = {9, 9, 9};
    EXPECT_EQ(Plane_IntersectLineSeg(h(out), h(plane), h(c.p1), h(c.p2)), c.hit) << c.name;
    EXPECT_TRUE(floats_close(c.point, out, 3, 0)) << c.name;
  }
  // An end exactly on the plane is the hit, that end bit for bit, in either order;
  // both ends on it give the first.
  const float floor_at[4] = {0, 0, 1, -22.105566024780273f};
  const float below[3] = {17.377283096313477f, -38.61676025390625f, -26.502758026123047f};
  const float on[3] = {39.18299102783203f, -7.930843830108643f, 22.105566024780273f};
  const float also_on[3] = {-3.5f, 12.25f, 22.105566024780273f};
  for (const auto& [p1, p2, end] : {std::tuple{below, on, on}, {on, below, on}, {on, also_on, on}, {also_on, on, also_on}}) {
    float out[3] = {9, 9, 9};
    EXPECT_EQ(Plane_IntersectLineSeg(h(out), h(floor_at), h(p1), h(p2)), 1);
    EXPECT_EQ(std::memcmp(out, end, sizeof out), 0);
  }
  float line_out[3] = {9, 9, 9};
  const float p1[3] = {1, 1, 1}, p2[3] = {3, 3, 3};
  EXPECT_EQ(Plane_IntersectLine(h(line_out), h(plane), h(p1), h(p2)), 1) << "the infinite line meets it";
  EXPECT_EQ(line_out[0], 0.0f);
}

TEST(Plane, InverseFacesTheOtherWayAndLeavesTheInput) {
  const float plane[4] = {1, -2, 3, -4};
  float out[4];
  Plane_Inverse(h(out), h(plane));
  const float expected[4] = {-1, 2, -3, 4};
  EXPECT_TRUE(floats_close(expected, out, 4, 0));
  EXPECT_EQ(plane[0], 1.0f);
  Plane_Inverse(h(out), h(out));
  EXPECT_TRUE(floats_close(plane, out, 4, 0));
}

TEST(Frustum, ExtractionFromMatrices) {
  const Planes cube = extracted(kIdentity);
  const float cube_planes[24] = {-1, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 1, 0, -1, 0, 1, 0, 0, -1, 1, 0, 0, 1, 1};
  EXPECT_TRUE(floats_close(cube_planes, cube.f, 24, 0));
  const Planes view = extracted(kPerspective);
  const float r = 0.70710678f;
  const float view_planes[24] = {-r, 0, r, 0, r, 0, r, 0, 0, r, r, 0, 0, -r, r, 0, 0, 0, -1, 100.00048f, 0, 0, 1, -0.502513f};
  EXPECT_TRUE(floats_close(view_planes, view.f, 24, 8, 1e-7f));
  // Off-centre: left shares the right plane's scale and keeps a longer normal.
  const float off[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0.5f, 0, 1, 1, 0, 0, 0, 0};
  const Planes skew = extracted(off);
  const float right_left[8] = {-0.894427f, 0, 0.447214f, 0, 0.894427f, 0, 1.341641f, 0};
  EXPECT_TRUE(floats_close(right_left, skew.f, 8, 4, 1e-6f));
  // A wide view: right and left share one scale, bottom and top another, so all
  // six normals come out unit length.
  float wide[16];
  std::memcpy(wide, kPerspective, sizeof wide);
  wide[5] = 1.5f;
  const Planes wide_view = extracted(wide);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(std::hypot(wide_view.f[4 * i], wide_view.f[4 * i + 1], wide_view.f[4 * i + 2]), 1, 2e-7) << i;
  EXPECT_NEAR(wide_view.f[9], 0.83205029f, 1e-7) << "bottom: (0, 1.5, 1) made unit";
  // The matrix may lie inside the frustum value: it is read before any plane is stored.
  Planes overlapping;
  std::memcpy(overlapping.f + 4, kPerspective, sizeof kPerspective);
  Frustum_ExtractVP(h(overlapping.f), h(overlapping.f + 4));
  EXPECT_EQ(std::memcmp(&overlapping, &view, sizeof view), 0);
  // Each of the six planes scaled by its own factor: Normalize gives the cube back.
  Planes scaled = cube;
  for (int i = 0; i < 24; ++i) scaled.f[i] *= float(i / 4 + 2);
  Frustum_Normalize(h(scaled.f));
  EXPECT_TRUE(floats_close(cube_planes, scaled.f, 24, 0));
}

TEST(Frustum, SettersStoreEachPlaneInItsPlace) {
  float planes[6][4];
  for (int i = 0; i < 6; ++i) {
    for (int k = 0; k < 4; ++k) planes[i][k] = float(10 * i + k + 1);
  }
  Planes one_by_one, at_once;
  std::int32_t (*setters[6])(Handle, Handle) = {Frustum_SetRightPlane, Frustum_SetLeftPlane, Frustum_SetBottomPlane,
                                                Frustum_SetTopPlane,   Frustum_SetFarPlane,  Frustum_SetNearPlane};
  for (int i = 0; i < 6; ++i) setters[i](h(one_by_one.f), h(planes[i]));
  EXPECT_TRUE(floats_close(&planes[0][0], one_by_one.f, 24, 0));
  Frustum_SetPlanes(h(at_once.f), h(planes[0]), h(planes[1]), h(planes[2]), h(planes[3]), h(planes[4]), h(planes[5]));
  EXPECT_EQ(std::memcmp(&one_by_one, &at_once, sizeof at_once), 0);
  // Planes taken from the frustum itself, rotated by one place.
  Frustum_SetPlanes(h(at_once.f), h(at_once.f + 4), h(at_once.f + 8), h(at_once.f + 12), h(at_once.f + 16),
                    h(at_once.f + 20), h(at_once.f));
  EXPECT_TRUE(floats_close(one_by_one.f + 4, at_once.f, 20, 0));
  EXPECT_TRUE(floats_close(one_by_one.f, at_once.f + 20, 4, 0));
  Planes copy;
  at_once.f[7] = quiet_nan_with_payload();
  Frustum_Copy(h(copy.f), h(at_once.f));
  EXPECT_EQ(std::memcmp(&copy, &at_once, sizeof copy), 0);
}

TEST(Frustum, VisibilityAgainstTheUnitCube) {
  const Planes cube = extracted(kIdentity);
  const Handle f = h(cube.f);
  const struct {
    const char* name;
    std::function<std::uint32_t()> call;
    std::uint32_t expected;
  } cases[] = {
      {"point at the origin: its near distance", [&] { return Frustum_TestPoint(f, 0, 0, 0); }, bits(1.0f)},
      {"point inside", [&] { return Frustum_TestPoint(f, 0.25f, -0.5f, 0.5f); }, bits(1.5f)},
      {"point on the right plane", [&] { return Frustum_TestPoint(f, 1, 0, 0); }, bits(0.0f)},
      {"point outside on the top", [&] { return Frustum_TestPoint(f, 0, 2, 0); }, bits(0.0f)},
      {"point NaN is never rejected", [&] { return Frustum_TestPoint(f, kNaN, 0, 0) != bits(0.0f); }, 1},
      {"depth reads the near plane only", [&] { return Frustum_PointDepth(f, 2, 0, 0); }, bits(1.0f)},
      {"depth from near, not far", [&] { return Frustum_PointDepth(f, 0.25f, -0.5f, 0.5f); }, bits(1.5f)},
      {"sphere depth", [&] { return Frustum_SphereDepth(f, 0, 0, -0.5f, 0.25f); }, bits(0.25f)},
      {"sphere crossing the left plane", [&] { return std::uint32_t(Frustum_TestSphere(f, -1.5f, 0, 0, 0.6f)); }, 1},
      {"sphere crossing: intersect", [&] { return std::uint32_t(Frustum_IntersectSphere(f, -1.5f, 0, 0, 0.6f)); }, 0},
      {"sphere touching from outside", [&] { return std::uint32_t(Frustum_TestSphere(f, 0, -1.5f, 0, 0.5f)); }, 0},
      {"touching from outside: intersect", [&] { return std::uint32_t(Frustum_IntersectSphere(f, 0, -1.5f, 0, 0.5f)); }, ~0u},
      {"sphere touching all six from inside", [&] { return std::uint32_t(Frustum_IntersectSphere(f, 0, 0, 0, 1)); }, 1},
      {"sphere NaN counts as inside", [&] { return std::uint32_t(Frustum_IntersectSphere(f, 0, 0, 0, kNaN)); }, 1},
      {"sphere ex: farthest point's depth", [&] { return Frustum_TestSphereEx(f, 0, 0, 0.5f, 0.25f); }, bits(1.75f)},
      {"sphere ex beyond the far plane", [&] { return Frustum_TestSphereEx(f, 0, 0, 5, 1); }, bits(0.0f)},
      {"box inside", [&] { return std::uint32_t(Frustum_IntersectAABB(f, -0.5f, -0.25f, -0.75f, 0.5f, 0.25f, 0.75f)); }, 1},
      {"box crossing", [&] { return std::uint32_t(Frustum_IntersectAABB(f, 0.5f, -0.5f, -0.5f, 1.5f, 0.5f, 0.5f)); }, 0},
      {"box outside", [&] { return std::uint32_t(Frustum_IntersectAABB(f, 2, 2, 2, 3, 3, 3)); }, ~0u},
      {"box outside: test", [&] { return std::uint32_t(Frustum_TestAABB(f, 2, 2, 2, 3, 3, 3)); }, 0},
      {"box against the right plane: test", [&] { return std::uint32_t(Frustum_TestAABB(f, 1, -0.5f, -0.5f, 2, 0.5f, 0.5f)); }, 0},
      {"against the right plane: intersect", [&] { return std::uint32_t(Frustum_IntersectAABB(f, 1, -0.5f, -0.5f, 2, 0.5f, 0.5f)); }, 0},
      {"box corners in reverse order", [&] { return std::uint32_t(Frustum_IntersectAABB(f, 0.5f, 0.25f, 0.75f, -0.5f, -0.25f, -0.75f)); }, 1},
      {"box above, corners reversed", [&] { return std::uint32_t(Frustum_TestAABB(f, 0.5f, 3, 0.5f, -0.5f, 2, -0.5f)); }, 0},
      {"cube on all six planes: test", [&] { return std::uint32_t(Frustum_TestAABC(f, 0, 0, 0, 2)); }, 1},
      {"cube on all six planes: intersect", [&] { return std::uint32_t(Frustum_IntersectAABC(f, 0, 0, 0, 2)); }, 1},
      {"cube of negative size", [&] { return std::uint32_t(Frustum_IntersectAABC(f, 1, 0, 0, -1)); }, 0},
      {"cube off the near side", [&] { return std::uint32_t(Frustum_TestAABC(f, 0, 0, -3, 1)); }, 0},
      {"box with a NaN corner is never rejected", [&] { return std::uint32_t(Frustum_TestAABB(f, kNaN, 2, 2, 3, 3, 3)); }, 1},
      {"NaN box: intersect", [&] { return std::uint32_t(Frustum_IntersectAABB(f, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN)); }, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(c.call(), c.expected) << c.name;
  // A sphere touching each plane from outside is rejected; from inside it is inside.
  for (int side = 0; side < 6; ++side) {
    float centre[3] = {0, 0, 0};
    centre[side / 2] = side % 2 ? -1.5f : 1.5f;
    const std::string where = "centre " + std::to_string(centre[side / 2]) + " on axis " + std::to_string(side / 2);
    EXPECT_EQ(Frustum_TestSphere(f, centre[0], centre[1], centre[2], 0.5f), 0) << where;
    EXPECT_EQ(Frustum_IntersectSphere(f, centre[0], centre[1], centre[2], 0.5f), -1) << where;
    for (float& c : centre) c /= 3;
    EXPECT_EQ(Frustum_IntersectSphere(f, centre[0], centre[1], centre[2], 0.5f), 1) << "inside, " << where;
  }
}

TEST(Frustum, BoxesAgainstAPerspectiveView) {
  const Planes view = extracted(kPerspective);
  const Handle f = h(view.f);
  // Outside (no point has z ≥ x and z ≤ 100), yet every plane has a corner in front.
  EXPECT_EQ(Frustum_TestAABB(f, 101, -1, 50, 200, 1, 150), 1);
  EXPECT_EQ(Frustum_IntersectAABB(f, 101, -1, 50, 200, 1, 150), 0);
  EXPECT_EQ(Frustum_IntersectAABC(f, 0, 0, 50, 10), 1);
  EXPECT_EQ(Frustum_TestSphere(f, 0, 0, 0.25f, 0.1f), 0) << "in front of the near plane at z = 100/199";
  EXPECT_EQ(Frustum_TestSphere(f, 30, -20, 60, 1), 1);
}

}  // namespace
}  // namespace kv::test
