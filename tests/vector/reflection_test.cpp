#include "vector/reflection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/library.h"

namespace kv::test {
namespace {

struct Case {
  const char* name;
  std::int32_t (*command)(Handle, Handle, Handle);
  float v[4], n[4], expected[4];
  int width;
};

const Case kReflections[] = {
    {"Vec2 off the floor", Vec2_Reflect, {1, 1}, {0, 1}, {-1, 1}, 2},
    {"Vec3 into the surface stays in", Vec3_Reflect, {0, -1, 0}, {0, 1, 0}, {0, -1, 0}, 3},
    {"a mirror, not a bounce: the bounce is its negation", Vec3_Reflect, {1, -1, 0}, {0, 1, 0}, {-1, -1, 0}, 3},
    {"Vec4 about w", Vec4_Reflect, {1, 2, 3, 4}, {0, 0, 0, 1}, {-1, -2, -3, 4}, 4},
    {"plane's d is not read", Vec3_ReflectPlane, {1, 1, 0}, {0, 1, 0, 5}, {-1, 1, 0}, 3},
    {"Vec3 mirror through the origin", Vec3_MirrorPoint, {1, 2, 3}, {0, 0, 0}, {-1, -2, -3}, 3},
    {"Vec3 mirror through (1, 1, 1)", Vec3_MirrorPoint, {1, 2, 3}, {1, 1, 1}, {1, 0, -1}, 3},
    {"Vec2 mirror", Vec2_MirrorPoint, {5, -1}, {2, 2}, {-1, 5}, 2},
    {"Vec4 mirror", Vec4_MirrorPoint, {1, 1, 1, 1}, {0, 1, 2, 3}, {-1, 1, 3, 5}, 4},
};

TEST(VectorReflection, ReflectionsAndMirrorPoints) {
  for (const Case& c : kReflections) {
    float r[4] = {9, 9, 9, 9};
    c.command(h(r), h(c.v), h(c.n));
    for (int i = 0; i < c.width; ++i) EXPECT_EQ(r[i], c.expected[i]) << c.name << " " << i;
    if (c.width < 4) {
      EXPECT_EQ(r[c.width], 9.0f) << c.name << ": wrote past its width";
    }
    // The result may be either input.
    float v[4] = {c.v[0], c.v[1], c.v[2], c.v[3]}, n[4] = {c.n[0], c.n[1], c.n[2], c.n[3]};
    c.command(h(v), h(v), h(n));
    c.command(h(n), h(c.v), h(n));
    for (int i = 0; i < c.width; ++i) {
      EXPECT_EQ(v[i], c.expected[i]) << c.name << " in place of v";
      EXPECT_EQ(n[i], c.expected[i]) << c.name << " in place of n";
    }
  }
}

TEST(VectorReflection, ReflectPlaneEqualsReflectAboutTheNormal) {
  float v[3] = {0.3f, -0.7f, 1.9f}, plane[4] = {0.2f, 0.9f, -0.4f, 123}, a[3], b[3];
  Vec3_ReflectPlane(h(a), h(v), h(plane));
  Vec3_Reflect(h(b), h(v), h(plane));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(bits(a[i]), bits(b[i]));
}

TEST(VectorReflection, RefractionAndTotalInternalReflection) {
  float r[4];
  float down[3] = {0, -1, 0}, up[3] = {0, 1, 0};
  Vec3_Refract(h(r), h(down), h(up), 1);
  EXPECT_EQ(r[0], 0.0f); EXPECT_EQ(r[1], -1.0f); EXPECT_EQ(r[2], 0.0f);
  float slant[2] = {0.8f, -0.6f}, floor[2] = {0, 1};
  r[0] = r[1] = 9;
  Vec2_Refract(h(r), h(slant), h(floor), 1.5f);
  EXPECT_EQ(r[0], 0.0f); EXPECT_EQ(r[1], 0.0f) << "k < 0: total internal reflection";
  float nan_i[4] = {std::numeric_limits<float>::quiet_NaN(), 0, 0, 0}, n4[4] = {0, 1, 0, 0};
  Vec4_Refract(h(r), h(nan_i), h(n4), 1.2f);
  for (float c : r) EXPECT_EQ(c, 0.0f) << "a NaN k gives zero too";
  // Into a denser medium the ray bends toward the normal and stays unit length.
  float in[3] = {0.6f, -0.8f, 0};
  Vec3_Refract(h(in), h(in), h(up), 1 / 1.33f);
  EXPECT_NEAR(in[0], 0.6f / 1.33f, 1e-6);
  EXPECT_NEAR(std::hypot(in[0], in[1]), 1.0, 1e-6);
}

TEST(VectorReflection, InverseAndInvertAreReciprocals) {
  using Command = std::int32_t (*)(Handle, Handle);
  const Command commands[] = {Vec2_Inverse, Vec2_Invert, Vec4_Inverse, Vec4_Invert, Vec3_Inverse, Vec3_Invert};
  for (Command c : commands) {
    float v[4] = {2, -4, 0, -0.0f}, r[4];
    c(h(r), h(v));
    EXPECT_EQ(r[0], 0.5f); EXPECT_EQ(r[1], -0.25f);
  }
  float z[4] = {0, -0.0f, 0.1f, 3}, r[4];
  Vec4_Invert(h(r), h(z));
  EXPECT_EQ(r[0], std::numeric_limits<float>::infinity());
  EXPECT_EQ(r[1], -std::numeric_limits<float>::infinity());
  EXPECT_EQ(bits(r[2]), bits(1.0f / 0.1f));
  Vec3_Inverse(h(z), h(z));
  EXPECT_EQ(z[3], 3.0f) << "a Vec3 leaves w";
}

}  // namespace
}  // namespace kv::test
