#include "vector/tangent_frame.h"

#include <gtest/gtest.h>

#include "support/library.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

struct Frame {
  float t[3], b[3], n[3];
};

TEST(TangentFrame, TangentBinormalAndNormalOfTexturedTriangles) {
  const struct {
    const char* name;
    float p1[3], p2[3], uv1[2], uv2[2];
    Frame expected;
  } cases[] = {
      {"unit", {1, 0, 0}, {0, 1, 0}, {1, 0}, {0, 1}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
      {"twice the size", {2, 0, 0}, {0, 2, 0}, {1, 0}, {0, 1}, {{2, 0, 0}, {0, 2, 0}, {0, 0, 4}}},
      {"stretched texture", {1, 0, 0}, {0, 1, 0}, {2, 0}, {0, 2}, {{0.5f, 0, 0}, {0, 0.5f, 0}, {0, 0, 1}}},
      {"determinant 0.000025: not divided", {1, 0, 0}, {0, 1, 0}, {0.005f, 0}, {0, 0.005f},
       {{0.005f, 0, 0}, {0, 0.005f, 0}, {0, 0, 1}}},
      {"all coordinates equal", {1, 0, 0}, {0, 1, 0}, {0, 0}, {0, 0}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 1}}},
      {"mirrored", {1, 0, 0}, {0, 1, 0}, {-1, 0}, {0, 1}, {{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
  };
  const float p0[3] = {0, 0, 0}, uv0[2] = {0, 0};
  for (const auto& c : cases) {
    Frame f;
    Vec3_VertexTBN(h(f.t), h(f.b), h(f.n), h(p0), h(uv0), h(c.p1), h(c.uv1), h(c.p2), h(c.uv2));
    EXPECT_TRUE(floats_close(c.expected.t, f.t, 3, 1)) << c.name;
    EXPECT_TRUE(floats_close(c.expected.b, f.b, 3, 1)) << c.name;
    EXPECT_TRUE(floats_close(c.expected.n, f.n, 3, 0)) << c.name;
  }
  // Determinant 0.0004 is above the threshold: divided.
  const float uv1[2] = {0.02f, 0}, uv2[2] = {0, 0.02f}, p1[3] = {1, 0, 0}, p2[3] = {0, 1, 0};
  Frame f;
  Vec3_VertexTBN(h(f.t), h(f.b), h(f.n), h(p0), h(uv0), h(p1), h(uv1), h(p2), h(uv2));
  EXPECT_NEAR(f.t[0], 50, 1e-4);
}

TEST(TangentFrame, SkippedOutputsAreNotWrittenAndCoordinatesNotRead) {
  const float p0[3] = {0, 0, 0}, p1[3] = {1, 0, 0}, p2[3] = {0, 1, 0};
  float n[3] = {9, 9, 9};
  // Null texture coordinates: only safe if they are not read.
  Vec3_VertexTBN(0, 0, h(n), h(p0), 0, h(p1), 0, h(p2), 0);
  EXPECT_EQ(n[2], 1.0f);
  Vec3_VertexTBN(0, 0, 0, h(p0), 0, h(p1), 0, h(p2), 0);
  float t[3] = {9, 9, 9}, b[3] = {9, 9, 9};
  const float uv0[2] = {0, 0}, uv1[2] = {1, 0}, uv2[2] = {0, 1};
  Vec3_VertexTBN(h(t), 0, 0, h(p0), h(uv0), h(p1), h(uv1), h(p2), h(uv2));
  EXPECT_EQ(t[0], 1.0f);
  EXPECT_EQ(b[0], 9.0f);
}

TEST(TangentFrame, AnOutputMayBeAnInput) {
  float p0[3] = {0, 0, 0}, p1[3] = {2, 0, 0}, p2[3] = {0, 2, 0}, uv0[2] = {0, 0}, uv1[2] = {1, 0}, uv2[2] = {0, 1};
  Vec3_VertexTBN(h(p1), h(p2), h(p0), h(p0), h(uv0), h(p1), h(uv1), h(p2), h(uv2));
  EXPECT_EQ(p1[0], 2.0f); EXPECT_EQ(p2[1], 2.0f); EXPECT_EQ(p0[2], 4.0f);
}

}  // namespace
}  // namespace kv::test
