#include "vector/barycentric.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/library.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

TEST(Barycentric, WeightsOfPointsOfATriangle) {
  float a[2] = {0, 0}, b[2] = {1, 0}, c[2] = {0, 1};
  const struct {
    const char* name;
    float p[2], weights[3];
  } cases[] = {
      {"a", {0, 0}, {1, 0, 0}},           {"b", {1, 0}, {0, 1, 0}},           {"c", {0, 1}, {0, 0, 1}},
      {"inside", {0.25f, 0.25f}, {0.5f, 0.25f, 0.25f}}, {"outside", {1, 1}, {-1, 1, 1}},
  };
  for (const auto& k : cases) {
    float w[3];
    Vec2_BaryCentricWeights(h(w), h(k.p), h(a), h(b), h(c));
    EXPECT_TRUE(floats_close(k.weights, w, 3, 0)) << k.name;
  }
  // A Vec3 point off the plane gets the weights of its projection.
  float a3[3] = {0, 0, 0}, b3[3] = {1, 0, 0}, c3[3] = {0, 1, 0}, lifted[3] = {0.25f, 0.25f, 5}, w[3];
  Vec3_BaryCentricWeights(h(w), h(lifted), h(a3), h(b3), h(c3));
  const float projected[3] = {0.5f, 0.25f, 0.25f};
  EXPECT_TRUE(floats_close(projected, w, 3, 0));
  // A degenerate triangle divides by zero.
  Vec2_BaryCentricWeights(h(w), h(cases[3].p), h(a), h(a), h(c));
  EXPECT_FALSE(std::isfinite(w[1]));
}

TEST(Barycentric, WeightsCarryVertexValuesToThePoint) {
  float a[4] = {1, 2, 0, 1}, b[4] = {4, -1, 3, 1}, c[4] = {-2, 5, 1, 1}, p[4] = {1.3f, 1.9f, 1.1f, 1}, w[3], r[4];
  // p lies in the plane of the triangle (p = 0.2 b + 0.3 c + 0.5 a): it comes back.
  for (int i = 0; i < 4; ++i) p[i] = 0.5f * a[i] + 0.2f * b[i] + 0.3f * c[i];
  Vec4_BaryCentricWeights(h(w), h(p), h(a), h(b), h(c));
  Vec4_WeightedAvg3(h(r), h(a), h(b), h(c), h(w));
  EXPECT_TRUE(floats_close(p, r, 4, 4, 1e-6f));
  float d[4];
  Vec4_BaryCentric(h(d), h(a), h(b), h(c), w[1], w[2]);
  EXPECT_TRUE(floats_close(p, d, 4, 4, 1e-6f));
  // Weights are used as given: (1, 1, 1) sums the vertices.
  float ones[3] = {1, 1, 1};
  Vec2_WeightedAvg3(h(r), h(a), h(b), h(c), h(ones));
  EXPECT_EQ(r[0], 3.0f); EXPECT_EQ(r[1], 6.0f);
  Vec3_WeightedAvg3(h(a), h(a), h(b), h(c), h(ones));  // in place
  EXPECT_EQ(a[2], 4.0f);
  Vec2_BaryCentric(h(r), h(b), h(c), h(a), 0, 0);
  EXPECT_EQ(r[0], 4.0f);
}

}  // namespace
}  // namespace kv::test
