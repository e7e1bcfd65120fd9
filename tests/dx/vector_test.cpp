// The D3DX vector functions against the values native D3DX gives.
#include "dx/vector.h"

#include <gtest/gtest.h>

#include "support/ulp.h"

namespace kv::test {
namespace {

using namespace kv::dx;

const Mat4 kCounting = {{{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}}};

TEST(DxVector, NormalizeGivesUnitVectorsAndZeroForZero) {
  const struct {
    const char* name;
    Vec3 in, out;
  } cases[] = {
      {"3-4-0", {{3, 4, 0}}, {{0.6f, 0.8f, 0}}},
      {"tiny still normalises", {{1e-30f, 0, 0}}, {{1, 0, 0}}},
      {"huge does not overflow", {{3e37f, 4e37f, 0}}, {{0.6f, 0.8f, 0}}},
      {"zero gives zero", {{0, 0, 0}}, {{0, 0, 0}}},
  };
  for (const auto& c : cases) {
    Vec3 r;
    vec_normalize(&r, &c.in);
    EXPECT_TRUE(values_close(c.out, r, 1)) << c.name;
  }
  Vec2 v{{-5, 12}};
  vec_normalize(&v, &v);
  EXPECT_TRUE(values_close(Vec2{{-5.0f / 13, 12.0f / 13}}, v, 1)) << "in place";
}

TEST(DxVector, TransformsTakeTheRowTimesTheMatrix) {
  const Vec3 v{{9, 6, 2}};
  Vec4 full;
  vec_transform(&full, &v, &kCounting);
  EXPECT_TRUE(values_close(Vec4{{70, 88, 106, 124}}, full, 0));
  Vec3 coord;
  vec_transform_coord(&coord, &v, &kCounting);
  EXPECT_TRUE(values_close(Vec3{{70.0f / 124, 88.0f / 124, 106.0f / 124}}, coord, 1));
  Vec3 normal = v;
  vec_transform_normal(&normal, &normal, &kCounting);
  EXPECT_TRUE(values_close(Vec3{{57, 74, 91}}, normal, 0));
  const Vec2 v2{{3, 4}};
  vec_transform(&full, &v2, &kCounting);
  EXPECT_TRUE(values_close(Vec4{{36, 44, 52, 60}}, full, 0));
  Vec4 v4{{1, 2, 4, 10}};
  vec_transform(&v4, &v4, &kCounting);
  EXPECT_TRUE(values_close(Vec4{{177, 194, 211, 228}}, v4, 0));
}

TEST(DxVector, CurvesAndBarycentricPoints) {
  const Vec2 a{{3, 4}}, b{{-7, 9}}, c{{4, -3}}, d{{2, -11}};
  Vec2 r;
  vec_catmull_rom(&r, &a, &b, &c, &d, -6.5f);
  EXPECT_TRUE(values_close(Vec2{{5820.25f, -3654.5625f}}, r, 0));
  vec_hermite(&r, &a, &b, &c, &d, -6.5f);
  EXPECT_TRUE(values_close(Vec2{{2604.625f, -4533}}, r, 0));
  vec_barycentric(&r, &a, &b, &c, 2, 5);
  EXPECT_TRUE(values_close(Vec2{{-12, -21}}, r, 0));
  // The curve passes through its inner points; f = g = 0 gives the first vertex.
  vec_catmull_rom(&r, &a, &b, &c, &d, 0);
  EXPECT_TRUE(values_close(b, r, 0));
  vec_catmull_rom(&r, &a, &b, &c, &d, 1);
  EXPECT_TRUE(values_close(c, r, 0));
  vec_barycentric(&r, &a, &b, &c, 0, 0);
  EXPECT_TRUE(values_close(a, r, 0));
}

TEST(DxVector, ProjectAndUnprojectThroughAViewport) {
  const Viewport viewport{10, 5, 800, 680, 0.2f, 0.9f};
  const Vec3 v{{9, 6, 2}};
  Vec3 r;
  vec3_project(&r, &v, &viewport, nullptr, nullptr, nullptr);
  EXPECT_TRUE(values_close(Vec3{{4010, -1695, 1.6f}}, r, 1));
  vec3_unproject(&r, &v, &viewport, nullptr, nullptr, nullptr);
  EXPECT_TRUE(values_close(Vec3{{-1.0025f, 0.997059f, 2.571429f}}, r, 2, 1e-6f)) << "six digits";
  // A projection there and back gives the point again.
  const Mat4 view = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 5, 1}}};
  const Mat4 projection = {{{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 1.01f, 1}, {0, 0, -0.101f, 0}}};
  Vec3 screen, back;
  const Vec3 p{{0.5f, -0.25f, 1}};
  vec3_project(&screen, &p, &viewport, &projection, &view, nullptr);
  vec3_unproject(&back, &screen, &viewport, &projection, &view, nullptr);
  EXPECT_TRUE(values_close(p, back, 64, 1e-4f));
}

}  // namespace
}  // namespace kv::test
