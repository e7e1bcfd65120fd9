// The D3DX matrix functions against native check values and their identities.
#include "dx/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "dx/quaternion.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

using namespace kv::dx;

const Mat4 kA = {{{10, 5, 7, 8}, {11, 20, 16, 33}, {19, -21, 30, 43}, {2, 3, -4, -40}}};
const Mat4 kB = {{{1, 5, -8, -4}, {2, 6, -7, -3}, {3, 7, -6, -2}, {4, 8, -5, -1}}};
const Mat4 kIdentity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

TEST(DxMatrix, MultiplyAppliesTheLeftFactorFirstAndMayWorkInPlace) {
  Mat4 r;
  matrix_multiply(&r, &kA, &kB);
  const float row1[4] = {73, 193, -197, -77};
  EXPECT_TRUE(floats_close(row1, r.m[0], 4, 0));
  Mat4 in_place = kA;
  matrix_multiply(&in_place, &in_place, &kB);
  EXPECT_TRUE(values_close(r, in_place, 0));
  in_place = kB;
  matrix_multiply(&in_place, &kA, &in_place);
  EXPECT_TRUE(values_close(r, in_place, 0));
  Mat4 t;
  matrix_multiply_transpose(&t, &kA, &kB);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) EXPECT_EQ(t.m[i][j], r.m[j][i]);
  }
}

// The kernels form the same values by the same operations: identical bits.
TEST(DxMatrix, ProductAndInverseKernelsAgreeBitForBit) {
  if (!cpu_has_avx()) GTEST_SKIP() << "no AVX here";
  std::mt19937 rng(17);
  std::uniform_real_distribution<float> u(-100, 100);
  for (int draw = 0; draw < 2000; ++draw) {
    Mat4 a, b, sse2, avx;
    for (auto* m : {&a, &b}) {
      for (auto& row : m->m) {
        for (float& e : row) e = u(rng) * (draw % 3 == 0 ? 1e-20f : 1.0f);
      }
    }
    matrix_multiply_sse2(&sse2, &a, &b);
    matrix_multiply_avx(&avx, &a, &b);
    ASSERT_EQ(std::memcmp(&sse2, &avx, sizeof avx), 0) << draw;
    Mat4 inverse_sse2 = a, inverse_avx = a;  // a singular draw leaves both as they were
    float det_sse2 = 0, det_avx = 0;
    matrix_inverse_sse2(&inverse_sse2, &det_sse2, &b);
    matrix_inverse_avx(&inverse_avx, &det_avx, &b);
    ASSERT_EQ(std::memcmp(&inverse_sse2, &inverse_avx, sizeof avx), 0) << draw;
    ASSERT_EQ(det_sse2, det_avx) << draw;
    matrix_multiply_avx(&a, &a, &b);  // in place
    ASSERT_EQ(std::memcmp(&a, &avx, sizeof avx), 0) << draw;
  }
  const Mat4 singular = kB;
  Mat4 out = kA;
  EXPECT_EQ(matrix_inverse_avx(&out, nullptr, &singular), nullptr);
  EXPECT_EQ(std::memcmp(&out, &kA, sizeof out), 0);
}

TEST(DxMatrix, InverseAndDeterminant) {
  EXPECT_EQ(matrix_determinant(&kA), -147888.0f);
  Mat4 inv;
  float det = 0;
  ASSERT_EQ(matrix_inverse(&inv, &det, &kA), &inv);
  EXPECT_EQ(det, -147888.0f);
  const float row1[4] = {16067.0f / 73944, -10165.0f / 147888, -2729.0f / 147888, -1631.0f / 49296};
  EXPECT_TRUE(floats_close(row1, inv.m[0], 4, 1));
  Mat4 product;
  matrix_multiply(&product, &kA, &inv);
  EXPECT_TRUE(values_close(kIdentity, product, 8, 1e-6f));
  // A singular matrix: null, and neither output is touched.
  Mat4 untouched = kA;
  float det_untouched = 7;
  EXPECT_EQ(matrix_inverse(&untouched, &det_untouched, &kB), nullptr);
  EXPECT_TRUE(values_close(kA, untouched, 0));
  EXPECT_EQ(det_untouched, 7.0f);
  Mat4 self = kA;
  matrix_inverse(&self, nullptr, &self);
  EXPECT_TRUE(values_close(inv, self, 0)) << "in place";
}

TEST(DxMatrix, RotationsFollowTheRowVectorLayout) {
  Mat4 rx, ry, rz;
  matrix_rotation_x(&rx, float(M_PI / 2));
  matrix_rotation_y(&ry, 0.5f);
  matrix_rotation_z(&rz, 0.5f);
  EXPECT_EQ(rx.m[1][2], 1.0f) << "m23 = sin";
  EXPECT_EQ(rx.m[2][1], -1.0f) << "m32 = -sin";
  EXPECT_EQ(ry.m[0][2], -std::sin(0.5f)) << "m13 = -sin";
  EXPECT_EQ(rz.m[0][1], std::sin(0.5f)) << "m12 = sin";
  // The axis rotation agrees with the coordinate-axis ones, and a zero axis gives diag(c, c, c, 1).
  const Vec3 y{{0, 3, 0}}, zero{{0, 0, 0}};
  Mat4 axis;
  matrix_rotation_axis(&axis, &y, 0.5f);
  EXPECT_TRUE(values_close(ry, axis, 1, 1e-7f));
  matrix_rotation_axis(&axis, &zero, 0.5f);
  const float c = std::cos(0.5f);
  const Mat4 diag = {{{c, 0, 0, 0}, {0, c, 0, 0}, {0, 0, c, 0}, {0, 0, 0, 1}}};
  EXPECT_TRUE(values_close(diag, axis, 1));
  // Yaw, pitch, roll: Rz(roll)·Rx(pitch)·Ry(yaw).
  Mat4 ypr, expected, rp, rr;
  matrix_rotation_yaw_pitch_roll(&ypr, 0.3f, -0.7f, 1.1f);
  matrix_rotation_z(&rr, 1.1f);
  matrix_rotation_x(&rp, -0.7f);
  matrix_rotation_y(&ry, 0.3f);
  matrix_multiply(&expected, &rr, &rp);
  matrix_multiply(&expected, &expected, &ry);
  EXPECT_TRUE(values_close(expected, ypr, 4, 1e-7f));
}

TEST(DxMatrix, RotationOfAQuaternionIsNotNormalised) {
  const Quat q{1, -4, 7, -11};
  Mat4 r;
  matrix_rotation_quaternion(&r, &q);
  const float rows[3][3] = {{-129, -162, -74}, {146, -99, -78}, {102, -34, -33}};
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(floats_close(rows[i], r.m[i], 3, 0)) << "row " << i;
  EXPECT_EQ(r.m[3][3], 1.0f);
}

TEST(DxMatrix, DecomposeGivesScaleRotationAndTranslation) {
  const Mat4 m = {{{2.427051f, 0, -1.763355f, 0}, {0, 3, 0, 0}, {1.763355f, 0, 2.427051f, 0}, {5, 5, 5, 1}}};
  Vec3 s, t;
  Quat q;
  ASSERT_TRUE(matrix_decompose(&s, &q, &t, &m));
  EXPECT_TRUE(values_close(Vec3{{3, 3, 3}}, s, 4));
  EXPECT_TRUE(values_close(Quat{0, 0.309017f, 0, 0.951057f}, q, 16, 1e-6f));
  EXPECT_TRUE(values_close(Vec3{{5, 5, 5}}, t, 0));
  // A mirror is not detected: the scales stay lengths, positive, and it succeeds.
  const Mat4 mirror = {{{-2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 1}}};
  EXPECT_TRUE(matrix_decompose(&s, &q, &t, &mirror));
  EXPECT_TRUE(values_close(Vec3{{2, 3, 4}}, s, 0));
  // A zero scale fails after storing scale and translation, leaving the rotation.
  Mat4 flat = m;
  flat.m[1][1] = 0;
  Quat keep{1, 2, 3, 4};
  EXPECT_FALSE(matrix_decompose(&s, &keep, &t, &flat));
  EXPECT_EQ(s.c[1], 0.0f);
  EXPECT_TRUE(values_close(Quat{1, 2, 3, 4}, keep, 0));
}

TEST(DxMatrix, LookAtMovesTheEyeToTheOriginFacingItsTarget) {
  const Vec3 eye{{1, 2, -5}}, at{{1, 2, 0}}, up{{0, 1, 0}};
  Mat4 lh, rh;
  matrix_look_at_lh(&lh, &eye, &at, &up);
  matrix_look_at_rh(&rh, &eye, &at, &up);
  const Mat4 expected_lh = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {-1, -2, 5, 1}}};
  const Mat4 expected_rh = {{{-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}, {1, -2, -5, 1}}};
  EXPECT_TRUE(values_close(expected_lh, lh, 0));
  EXPECT_TRUE(values_close(expected_rh, rh, 0));
}

TEST(DxMatrix, AffineTransformations) {
  const Quat q{1, -4, 7, -11};
  const Vec3 c{{-2, 13, -9}}, t{{1, -3, 7}};
  Mat4 r, rotation;
  matrix_affine_transformation(&r, 3.56f, &c, &q, &t);
  matrix_rotation_quaternion(&rotation, &q);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_TRUE(close_in_ulps(3.56f * rotation.m[i][j], r.m[i][j], 1));
  }
  const float row4[4] = {-1239, 667, 567, 1};
  EXPECT_TRUE(floats_close(row4, r.m[3], 4, 0));
  matrix_affine_transformation(&r, 2, nullptr, nullptr, nullptr);
  const Mat4 scaling = {{{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 1}}};
  EXPECT_TRUE(values_close(scaling, r, 0));

  const Vec2 c2{{3, 4}}, t2{{-6, 7}};
  matrix_affine_transformation_2d(&r, 20, &c2, float(M_PI / 3), &t2);
  EXPECT_TRUE(close_in_ulps(10, r.m[0][0], 2));
  EXPECT_TRUE(close_in_ulps(17.320507f, r.m[0][1], 2));
  EXPECT_TRUE(close_in_ulps(-1.035898f, r.m[3][0], 4));
  EXPECT_TRUE(close_in_ulps(6.401924f, r.m[3][1], 4));
}

}  // namespace
}  // namespace kv::test
