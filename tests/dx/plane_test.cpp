// The D3DX plane functions against native check values.
#include "dx/plane.h"

#include <gtest/gtest.h>

#include <cmath>

#include "dx/matrix.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

using namespace kv::dx;

const Plane kP{-3, -1, 4, 7};

TEST(DxPlane, IntersectLineFindsThePointOrNothing) {
  const Vec3 a{{9, 6, 3}}, b{{2, 5, 8}}, c{{11, 13, 15}}, d{{17, 31, 24}};
  Vec3 r{{7, 7, 7}};
  ASSERT_EQ(plane_intersect_line(&r, &kP, &a, &b), &r);
  EXPECT_TRUE(values_close(Vec3{{20.0f / 3, 17.0f / 3, 14.0f / 3}}, r, 2));
  Vec3 untouched{{7, 7, 7}};
  EXPECT_EQ(plane_intersect_line(&untouched, &kP, &c, &d), nullptr) << "parallel";
  EXPECT_EQ(plane_intersect_line(&untouched, &kP, &a, &a), nullptr) << "no direction";
  EXPECT_TRUE(values_close(Vec3{{7, 7, 7}}, untouched, 0));
}

TEST(DxPlane, BuildTransformAndNormalise) {
  const Mat4 a = {{{10, 5, 7, 8}, {11, 20, 16, 33}, {19, -21, 30, 43}, {2, 3, -4, -40}}};
  Plane r;
  plane_transform(&r, &kP, &a);
  EXPECT_TRUE(values_close(Plane{49, -98, 55, -165}, r, 0));

  const Vec3 p1{{1, 2, 3}}, p2{{1, -6, -5}}, p3{{83, 74, 65}};
  plane_from_points(&r, &p1, &p2, &p3);
  EXPECT_TRUE(values_close(Plane{0.085914f, -0.704492f, 0.704492f, -0.790406f}, r, 8, 1e-6f)) << "six digits";
  plane_from_points(&r, &p1, &p1, &p2);
  EXPECT_TRUE(values_close(Plane{0, 0, 0, 0}, r, 0));
  EXPECT_TRUE(std::signbit(r.d)) << "collinear points: d is -0";

  // Normalised, then taken through the inverse transpose of a scaling.
  Plane n;
  const Plane tilted{0, 1, 1, 0};
  plane_normalize(&n, &tilted);
  const Mat4 inverse_transpose = {{{1, 0, 0, 0}, {0, 0.5f, 0, 0}, {0, 0, 1.0f / 3, 0}, {0, 0, 0, 1}}};
  plane_transform(&n, &n, &inverse_transpose);
  EXPECT_TRUE(values_close(Plane{0, 0.353553f, 0.235702f, 0}, n, 2, 1e-6f)) << "six digits";
  const Plane no_normal{0, 0, 0, 5};
  plane_normalize(&n, &no_normal);
  EXPECT_TRUE(values_close(Plane{0, 0, 0, 0}, n, 0));
}

TEST(DxPlane, FromPointNormalReadsThePointBeforeWritingOverIt) {
  const Vec3 normal{{0, 2, 0}};
  Vec3 point[2] = {{{1, 3, 5}}, {{0, 0, 0}}};  // room for the four floats of a plane
  Plane* out = reinterpret_cast<Plane*>(point);
  plane_from_point_normal(out, &point[0], &normal);
  EXPECT_TRUE(values_close(Plane{0, 2, 0, -6}, *out, 0));
}

}  // namespace
}  // namespace kv::test
