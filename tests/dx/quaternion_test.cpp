// The D3DX quaternion functions against native check values and identities.
#include "dx/quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "dx/matrix.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

using namespace kv::dx;

const Quat kQ{1, 2, 4, 10}, kR{-3, 4, -5, 7}, kT{-1111, 111, -11, 1};

// The product kernels form the same exact products and sums: identical bits.
TEST(DxQuaternion, ProductKernelsAgreeBitForBit) {
  if (!cpu_has_avx()) GTEST_SKIP() << "no AVX here";
  std::mt19937 rng(23);
  std::uniform_real_distribution<float> u(-100, 100);
  for (int draw = 0; draw < 5000; ++draw) {
    const float scale = draw % 4 == 0 ? 1e-30f : 1.0f;
    Quat a{u(rng) * scale, u(rng), u(rng), u(rng) * scale}, b{u(rng), u(rng) * scale, u(rng), u(rng)};
    Quat sse2, avx, fma;
    quaternion_multiply_sse2(&sse2, &a, &b);
    quaternion_multiply_avx(&avx, &a, &b);
    ASSERT_EQ(std::memcmp(&sse2, &avx, sizeof avx), 0) << draw;
    if (cpu_has_fma()) {
      quaternion_multiply_fma(&fma, &a, &b);
      ASSERT_EQ(std::memcmp(&sse2, &fma, sizeof fma), 0) << draw;
      quaternion_multiply_fma(&b, &a, &b);  // in place
      ASSERT_EQ(std::memcmp(&sse2, &b, sizeof b), 0) << draw;
    }
  }
}

TEST(DxQuaternion, ProductInverseLogAndExp) {
  Quat r;
  quaternion_multiply(&r, &kQ, &kR);
  EXPECT_TRUE(values_close(Quat{3, 61, -32, 85}, r, 0));
  quaternion_inverse(&r, &kQ);
  EXPECT_TRUE(values_close(Quat{-1.0f / 121, -2.0f / 121, -4.0f / 121, 10.0f / 121}, r, 1));
  quaternion_ln(&r, &kQ);
  EXPECT_TRUE(values_close(Quat{1, 2, 4, 0}, r, 0)) << "w >= 1: the length is not used";
  const Quat unit{0.2f, 0.1f, 0.3f, 0.9f};
  quaternion_ln(&r, &unit);
  EXPECT_TRUE(values_close(Quat{0.206945f, 0.103473f, 0.310418f, 0}, r, 8, 1e-6f)) << "six digits";
  const Quat minus_one{1, 2, 3, -1};
  quaternion_ln(&r, &minus_one);
  EXPECT_TRUE(values_close(Quat{1, 2, 3, 0}, r, 0));
  quaternion_exp(&r, &kQ);
  EXPECT_TRUE(values_close(Quat{-0.216382f, -0.432764f, -0.865527f, -0.129449f}, r, 16, 1e-6f)) << "six digits";
  const Quat zero{0, 0, 0, 5};
  quaternion_exp(&r, &zero);
  EXPECT_TRUE(values_close(Quat{0, 0, 0, 1}, r, 0));
}

TEST(DxQuaternion, ZeroQuaternionsNormaliseAndInvertToNaN) {
  const Quat zero{0, 0, 0, 0};
  Quat r;
  quaternion_normalize(&r, &zero);
  EXPECT_TRUE(std::isnan(r.x) && std::isnan(r.w));
  quaternion_inverse(&r, &zero);
  EXPECT_TRUE(std::isnan(r.y) && std::isnan(r.z));
  Quat q{3, 0, 4, 0};
  quaternion_normalize(&q, &q);
  EXPECT_TRUE(values_close(Quat{0.6f, 0, 0.8f, 0}, q, 1));
}

TEST(DxQuaternion, SlerpTakesTheShorterArcWithoutNormalising) {
  Quat r;
  quaternion_slerp(&r, &kQ, &kR, 0.3f);
  EXPECT_TRUE(values_close(Quat{-0.2f, 2.6f, 1.3f, 9.1f}, r, 4));
  quaternion_slerp(&r, &kQ, &kT, 0.3f);
  EXPECT_TRUE(values_close(Quat{334, -31.9f, 6.1f, 6.7f}, r, 4));
  const Quat q{0, 0, 0.6f, 0.8f}, minus_q{0, 0, -0.6f, -0.8f};
  quaternion_slerp(&r, &q, &minus_q, 0.7f);
  EXPECT_TRUE(values_close(q, r, 1)) << "Slerp(q, -q, t) = q";
}

TEST(DxQuaternion, RotationsAgreeWithTheMatrixForms) {
  const Vec3 axis{{2, 7, 13}};
  Quat r;
  quaternion_rotation_axis(&r, &axis, float(M_PI / 3));
  EXPECT_TRUE(values_close(Quat{0.067116f, 0.234905f, 0.436251f, 0.866025f}, r, 8, 1e-6f)) << "six digits";
  // Yaw, pitch, roll as a quaternion and as a matrix, and back from the matrix.
  Quat ypr, back;
  Mat4 from_quat, direct;
  quaternion_rotation_yaw_pitch_roll(&ypr, 0.3f, -0.7f, 1.1f);
  matrix_rotation_quaternion(&from_quat, &ypr);
  matrix_rotation_yaw_pitch_roll(&direct, 0.3f, -0.7f, 1.1f);
  EXPECT_TRUE(values_close(direct, from_quat, 8, 1e-6f));
  quaternion_rotation_matrix(&back, &direct);
  EXPECT_TRUE(values_close(ypr, back, 16, 1e-6f));
  // Each branch of the matrix conversion: identity (trace), and half turns about x, y, z.
  const struct {
    const char* name;
    Quat q;
  } turns[] = {{"trace", {0, 0, 0, 1}}, {"x largest", {1, 0, 0, 0}}, {"y largest", {0, 1, 0, 0}},
               {"z largest", {0, 0, 1, 0}}};
  for (const auto& c : turns) {
    Mat4 m;
    matrix_rotation_quaternion(&m, &c.q);
    quaternion_rotation_matrix(&back, &m);
    EXPECT_TRUE(values_close(c.q, back, 0)) << c.name;
  }
  Vec3 out_axis;
  float angle;
  quaternion_to_axis_angle(&r, &out_axis, &angle);
  EXPECT_TRUE(close_in_ulps(float(M_PI / 3), angle, 2));
  EXPECT_EQ(out_axis.c[0], r.x) << "the axis is the vector part as it is";
  const Quat zero{0, 0, 0, 0};
  quaternion_to_axis_angle(&zero, nullptr, &angle);
  EXPECT_TRUE(close_in_ulps(float(M_PI), angle, 1));
}

TEST(DxQuaternion, SquadSetupAndBarycentric) {
  const Quat q0{0.2f, 0.3f, 1.3f, -0.6f}, q1{-3, -2, 4, 0.2f}, q2{0.4f, 8.3f, -3.1f, -2.7f}, q3{1.1f, -0.7f, 9.2f, 0};
  Quat a, b, c;
  quaternion_squad_setup(&a, &b, &c, &q0, &q1, &q2, &q3);
  EXPECT_TRUE(values_close(Quat{-3.754567f, -0.586085f, 3.815818f, -0.198150f}, a, 32, 1e-5f));
  EXPECT_TRUE(values_close(Quat{0.140773f, -8.737090f, -0.516593f, 3.053942f}, b, 32, 1e-5f));
  EXPECT_TRUE(values_close(Quat{-0.4f, -8.3f, 3.1f, 2.7f}, c, 0));
  // The outputs may be the inputs.
  Quat p0 = q0, p1 = q1, p2 = q2;
  quaternion_squad_setup(&p0, &p1, &p2, &p0, &p1, &p2, &q3);
  EXPECT_TRUE(values_close(a, p0, 0));
  EXPECT_TRUE(values_close(b, p1, 0));
  EXPECT_TRUE(values_close(c, p2, 0));

  Quat r;
  quaternion_barycentric(&r, &kQ, &kR, &kT, 0.3f, 0.78f);
  EXPECT_TRUE(values_close(Quat{-867.444458f, 87.851111f, -9.937778f, 3.235555f}, r, 16));
  quaternion_barycentric(&r, &kQ, &kR, &kT, 0.4f, -0.4f);
  EXPECT_TRUE(values_close(kQ, r, 0)) << "f + g = 0 gives q1, not 0 / 0";
}

TEST(DxQuaternion, SquadRunsFromItsFirstToItsLastKey) {
  const Quat q1{0, 0, 0, 1}, a{0, 0.1f, 0, 0.99f}, b{0, 0.3f, 0, 0.95f}, c{0, 0.5f, 0, 0.866f};
  Quat r;
  quaternion_squad(&r, &q1, &a, &b, &c, 0);
  EXPECT_TRUE(values_close(q1, r, 0));
  quaternion_squad(&r, &q1, &a, &b, &c, 1);
  EXPECT_TRUE(values_close(c, r, 1));
}

}  // namespace
}  // namespace kv::test
