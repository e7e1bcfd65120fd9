#include "vector/transforms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "dx/matrix.h"
#include "support/library.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

TEST(Transforms, ByMatrices) {
  float v2[2] = {3, 4}, v3[3] = {1, 2, 3}, out[4];
  Vec2_Transform(h(out), h(v2), h(kIdentity));
  const float e2[4] = {3, 4, 0, 1};
  EXPECT_TRUE(floats_close(e2, out, 4, 0));
  Vec3_Transform(h(out), h(v3), h(kIdentity));
  const float e3[4] = {1, 2, 3, 1};
  EXPECT_TRUE(floats_close(e3, out, 4, 0));
  const float move[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1};
  Vec3_TransformNormal(h(out), h(v3), h(move));
  EXPECT_TRUE(floats_close(v3, out, 3, 0)) << "directions ignore translation";
  Vec3_TransformCoord(h(out), h(v3), h(move));
  const float moved[3] = {11, 22, 33};
  EXPECT_TRUE(floats_close(moved, out, 3, 0));
  const float halve[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2};
  Vec3_TransformCoord(h(v3), h(v3), h(halve));  // in place
  const float halved[3] = {0.5f, 1, 1.5f};
  EXPECT_TRUE(floats_close(halved, v3, 3, 0));
  Vec2_TransformCoord(h(v2), h(v2), h(move));
  EXPECT_EQ(v2[0], 13.0f); EXPECT_EQ(v2[1], 24.0f);
  float v4[4] = {1, 2, 4, 10};
  const float counting[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  Vec4_Transform(h(v4), h(v4), h(counting));
  const float e4[4] = {177, 194, 211, 228};
  EXPECT_TRUE(floats_close(e4, v4, 4, 0));
  Vec2_TransformNormal(h(v2), h(v2), h(counting));
  EXPECT_EQ(v2[0], 13 * 1.0f + 24 * 5.0f);
}

TEST(Transforms, ByQuaternions) {
  const struct {
    const char* name;
    float q[4], v[3], expected[3];
  } cases[] = {
      {"identity", {0, 0, 0, 1}, {1, 2, 3}, {1, 2, 3}},
      {"quarter turn about z", {0, 0, 0.70710678f, 0.70710678f}, {1, 0, 0}, {0, 1, 0}},
      {"half turn about z", {0, 0, 1, 0}, {1, 0, 0}, {-1, 0, 0}},
      {"length 2 is not a scaling", {0, 0, 0, 2}, {1, 2, 3}, {1, 2, 3}},
  };
  for (const auto& c : cases) {
    float v[3] = {c.v[0], c.v[1], c.v[2]};
    Vec3_TransformQuat(h(v), h(v), h(c.q));  // in place
    EXPECT_TRUE(floats_close(c.expected, v, 3, 2, 1e-7f)) << c.name;
  }
  // For unit quaternions, the rotation the matrix of the quaternion applies.
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(-1, 1);
  for (int i = 0; i < 200; ++i) {
    dx::Quat q{u(rng), u(rng), u(rng), u(rng)};
    const float n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    q = {q.x / n, q.y / n, q.z / n, q.w / n};
    dx::Mat4 m;
    dx::matrix_rotation_quaternion(&m, &q);
    float v[3] = {u(rng), u(rng), u(rng)}, by_quat[3], by_matrix[3];
    Vec3_TransformQuat(h(by_quat), h(v), h(&q));
    Vec3_TransformNormal(h(by_matrix), h(v), h(&m));
    EXPECT_TRUE(floats_close(by_matrix, by_quat, 3, 8, 1e-6f));
  }
}

}  // namespace
}  // namespace kv::test
