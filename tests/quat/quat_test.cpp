// Quaternion commands: turn orders, Euler round trips, what is renormalised and
// what is not, and outputs that are also inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "matrix/algebra.h"
#include "matrix/construction.h"
#include "quat/algebra.h"
#include "quat/construction.h"
#include "quat/turns.h"
#include "support/library.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

struct Q {
  float c[4];
};

float length(const Q& q) { return float(std::sqrt(double(q.c[0]) * q.c[0] + double(q.c[1]) * q.c[1] + double(q.c[2]) * q.c[2] + double(q.c[3]) * q.c[3])); }

Q rotation_xyz(float ax, float ay, float az) {
  Q q;
  Quat_RotationXYZ(h(&q), ax, ay, az);
  return q;
}

// q and −q are the same rotation.
::testing::AssertionResult same_rotation(const Q& a, const Q& b, int ulps, float near_zero) {
  Q minus_b{{-b.c[0], -b.c[1], -b.c[2], -b.c[3]}};
  if (floats_close(a.c, b.c, 4, ulps, near_zero)) return ::testing::AssertionSuccess();
  return floats_close(a.c, minus_b.c, 4, ulps, near_zero);
}

TEST(Quat, XYZIsXThenYThenZAndMatchesTheMatrix) {
  Q x, y, xy;
  Quat_RotationX(h(&x), 0.5f), Quat_RotationY(h(&y), 0.5f);
  Quat_Mul(h(&xy), h(&x), h(&y));
  EXPECT_TRUE(values_close(rotation_xyz(0.5f, 0.5f, 0), xy, 1));
  const float angles[3] = {0.3f, -0.7f, 1.1f};
  Q q, from_vec;
  Quat_RotationVecXYZ(h(&from_vec), h(angles));
  q = rotation_xyz(0.3f, -0.7f, 1.1f);
  EXPECT_TRUE(values_close(q, from_vec, 0));
  float m[16], back[4];
  Mat4_RotationXYZ(h(m), 0.3f, -0.7f, 1.1f);
  Quat_FromMat4(h(back), h(m));
  EXPECT_TRUE(same_rotation(q, Q{{back[0], back[1], back[2], back[3]}}, 8, 1e-7f));
  float rad[3], deg[3];
  Quat_GetEulerRad(h(rad), h(&q));
  EXPECT_TRUE(floats_close(angles, rad, 3, 8));
  Quat_GetEulerDeg(h(deg), h(&q));
  const float degrees[3] = {17.188734f, -40.107044f, 63.025357f};
  EXPECT_TRUE(floats_close(degrees, deg, 3, 16));
  // Twice q is the same rotation: the same angles.
  const Q doubled{{2 * q.c[0], 2 * q.c[1], 2 * q.c[2], 2 * q.c[3]}};
  float from_doubled[3];
  Quat_GetEulerRad(h(from_doubled), h(&doubled));
  EXPECT_EQ(std::memcmp(from_doubled, rad, sizeof rad), 0);
}

// At a pitch of ±90°, as scripts build it from single angles: no NaN, and the
// angles rebuild the rotation, read from the quaternion and from its matrix.
TEST(Quat, EulerAnglesAtThePoleRebuildTheRotation) {
  const float poles[][3] = {{-1.5722122f, 1.5707964f, 0.26537535f}, {0.5235988f, 1.5707964f, 1.0471976f},
                            {0.5235988f, -1.5707964f, 1.0471976f}, {-2.5f, -1.5707963f, 0.75f}};
  for (const auto& angles : poles) {
    const Q q = rotation_xyz(angles[0], angles[1], angles[2]);
    float m[16], rebuilt[16], from_quat[3], from_matrix[3];
    Mat4_FromQuat(h(m), h(&q));
    Quat_GetEulerRad(h(from_quat), h(&q));
    Mat4_GetEulerRad(h(from_matrix), h(m));
    for (const float* e : {from_quat, from_matrix}) {
      EXPECT_TRUE(close_in_ulps(std::copysign(1.5707964f, angles[1]), e[1], 1)) << angles[0];
      Mat4_RotationVecXYZ(h(rebuilt), h(e));
      EXPECT_TRUE(floats_close(m, rebuilt, 16, 0, 1e-5f)) << angles[0] << " " << e[0] << " " << e[2];
    }
    EXPECT_TRUE(close_in_ulps(from_quat[0], -std::copysign(1.0f, angles[1]) * from_quat[2], 4, 1e-6f)) << "the turn split evenly";
  }
}

// The pitch walked from 1.5 to π/2 through both edges of the band near the pole
// (cos between 2^-20 and 2^-7): above the pole the roll and yaw are each read
// back, as far as the rounded quaternion tells them (an error growing as 1/cos);
// at the pole they share the turn evenly. Every answer rebuilds the rotation.
TEST(Quat, EulerAnglesNearThePoleKeepEachTurnUntilThePole) {
  float e[3], rebuilt[16], m[16];
  for (double gap = 0.0707963267948966; gap > 1e-9; gap /= 2) {
    const double pitch = 1.5707963267948966 - gap;
    const Q q = rotation_xyz(0.3f, float(pitch), 0.2f);
    Quat_GetEulerRad(h(e), h(&q));
    Mat4_FromQuat(h(m), h(&q));
    Mat4_RotationVecXYZ(h(rebuilt), h(e));
    EXPECT_TRUE(floats_close(m, rebuilt, 16, 0, 1e-5f)) << pitch;
    const double cos_pitch = std::cos(double(float(pitch)));
    if (cos_pitch > 0x1p-19) {
      EXPECT_NEAR(e[0], 0.3, 4 * 0x1p-24 / cos_pitch + 1e-7) << "roll kept at pitch " << pitch;
      EXPECT_NEAR(e[2], 0.2, 4 * 0x1p-24 / cos_pitch + 1e-7) << "yaw kept at pitch " << pitch;
    } else if (cos_pitch < 0x1p-21) {
      EXPECT_TRUE(close_in_ulps(e[0], -e[2], 4, 1e-6f)) << "the turn split evenly at pitch " << pitch;
    }
  }
  const Q q = rotation_xyz(0.3f, 1.5707f, 0.2f);
  Quat_GetEulerRad(h(e), h(&q));
  const float expected[3] = {0.2999143f, 1.5707f, 0.1999143f};
  EXPECT_TRUE(floats_close(expected, e, 3, 4));
}

// The shortest-path rule walked through a dot product of 0 from both sides: D3DX
// flips exactly when a·b < 0 (so −4.37e-8, π/2 in single, flips), and a right
// angle exactly does not.
TEST(Quat, SlerpFlipsExactlyWhenTheDotProductIsNegative) {
  const Q a{{0, 0, 0, 1}};
  for (const float w : {-0.25f, -1e-6f, -4.37113883e-8f, -0x1p-149f, -0.0f, 0.0f, 0x1p-149f, 4.37113883e-8f, 1e-6f, 0.25f}) {
    const Q b{{float(std::sqrt(1.0 - double(w) * w)), 0, 0, w}};
    Q out;
    Quat_SLerp(h(&out), h(&a), h(&b), 0.5f);
    EXPECT_EQ(out.c[0] < 0, w < 0) << "w = " << w;
  }
  const Q b{{1, 0, 0, 0}};
  Q out;
  Quat_SLerp(h(&out), h(&a), h(&b), 0.5f);
  EXPECT_EQ(bits(out.c[0]), 0x3F3504F3u);
  EXPECT_EQ(bits(out.c[3]), 0x3F3504F3u);
}

TEST(Quat, WorldTurnsFollowLocalTurnsPrecede) {
  const Q q = rotation_xyz(0.4f, -0.9f, 0.6f);
  const struct {
    const char* name;
    std::int32_t (*turn)(Handle, Handle, float);
    std::int32_t (*axis)(Handle, float);
    bool local;
  } cases[] = {
      {"RotateX", Quat_RotateX, Quat_RotationX, false},           {"RotateY", Quat_RotateY, Quat_RotationY, false},
      {"RotateZ", Quat_RotateZ, Quat_RotationZ, false},           {"RotateLocalX", Quat_RotateLocalX, Quat_RotationX, true},
      {"RotateLocalY", Quat_RotateLocalY, Quat_RotationY, true},  {"RotateLocalZ", Quat_RotateLocalZ, Quat_RotationZ, true},
  };
  for (const auto& c : cases) {
    Q r, expected, got, other;
    c.axis(h(&r), 0.8f);
    Quat_Mul(h(&expected), c.local ? h(&r) : h(&q), c.local ? h(&q) : h(&r));
    Quat_Mul(h(&other), c.local ? h(&q) : h(&r), c.local ? h(&r) : h(&q));
    c.turn(h(&got), h(&q), 0.8f);
    EXPECT_TRUE(floats_close(expected.c, got.c, 4, 2, 1e-7f)) << c.name;
    EXPECT_FALSE(floats_close(other.c, got.c, 4, 1000)) << c.name << ": the other order";
  }
  // Three turns: world q·x·y·z (not renormalised), local z·(y·(x·q)) renormalised.
  const Q doubled{{2 * q.c[0], 2 * q.c[1], 2 * q.c[2], 2 * q.c[3]}};
  Q world, local, single;
  Quat_RotateXYZ(h(&world), h(&doubled), 0.2f, -0.3f, 0.4f);
  EXPECT_NEAR(length(world), 2, 2e-6) << "not renormalised";
  Q after = doubled, turn;
  for (auto [axis, angle] : {std::pair{Quat_RotationX, 0.2f}, {Quat_RotationY, -0.3f}, {Quat_RotationZ, 0.4f}}) {
    axis(h(&turn), angle);
    Quat_Mul(h(&after), h(&after), h(&turn));
  }
  EXPECT_TRUE(floats_close(after.c, world.c, 4, 8, 1e-6f)) << "world turns: q, then X, then Y, then Z";
  Quat_RotateX(h(&single), h(&doubled), 0.2f);
  EXPECT_NEAR(length(single), 1, 1e-7);
  Quat_RotateLocalXYZ(h(&local), h(&doubled), 0.2f, -0.3f, 0.4f);
  EXPECT_NEAR(length(local), 1, 1e-7);
  Q expected = q, r;
  for (auto [axis, angle] : {std::pair{Quat_RotationX, 0.2f}, {Quat_RotationY, -0.3f}, {Quat_RotationZ, 0.4f}}) {
    axis(h(&r), angle);
    Quat_Mul(h(&expected), h(&r), h(&expected));
  }
  EXPECT_TRUE(floats_close(expected.c, local.c, 4, 8, 1e-7f));
  // Axis turns are not renormalised either.
  const float axis[3] = {0, 0, 5};
  Quat_RotateLocalAxisVec(h(&single), h(&doubled), h(axis), 0.4f);
  Quat_RotationZ(h(&r), 0.4f);
  Quat_Mul(h(&expected), h(&r), h(&doubled));
  EXPECT_TRUE(floats_close(expected.c, single.c, 4, 2));
  Quat_RotateAxis(h(&single), h(&doubled), 0, 0, 5, 0.4f);
  Quat_Mul(h(&expected), h(&doubled), h(&r));
  EXPECT_TRUE(floats_close(expected.c, single.c, 4, 2));
  Quat_RotateAxisVec(h(&single), h(&doubled), h(axis), 0.4f);
  EXPECT_TRUE(floats_close(expected.c, single.c, 4, 2)) << "world: q then r";
  Quat_RotateLocalAxis(h(&single), h(&doubled), 0, 0, 5, 0.4f);
  Quat_Mul(h(&expected), h(&r), h(&doubled));
  EXPECT_TRUE(floats_close(expected.c, single.c, 4, 2)) << "local: r then q";
}

TEST(Quat, IdentityConjugateMagnitudeAndAxis) {
  Q q{{0, -0.0f, 0, 1}};
  EXPECT_EQ(Quat_IsIdentity(h(&q)), 1);
  q.c[3] = -1;
  EXPECT_EQ(Quat_IsIdentity(h(&q)), 0) << "(0, 0, 0, −1) is the same rotation, not the identity";
  Q c{{1, 2, 3, 4}};
  Quat_Conjugate(h(&c), h(&c));
  const float conjugate[4] = {-1, -2, -3, 4};
  EXPECT_TRUE(floats_close(conjugate, c.c, 4, 0));
  Q zero{{0, 0, 0, 0}};
  Quat_Conjugate(h(&zero), h(&zero));
  EXPECT_EQ(bits(zero.c[0]), 0x80000000u) << "the conjugate of +0 is −0";
  const Q five{{1, 2, 2, 4}};
  EXPECT_EQ(from_bits(Quat_Magnitude(h(&five))), 5.0f);
  Q z;
  Quat_RotationAxis(h(&z), 0, 0, 3, 1);
  float axis[4] = {9, 9, 9, 9};
  const float angle = from_bits(Quat_GetAxisEx(h(axis), h(&z)));
  EXPECT_TRUE(close_in_ulps(1.0f, angle, 4));
  EXPECT_EQ(axis[3], 9.0f) << "the Ex form writes three floats";
  Quat_GetAxis(h(axis), h(&z));
  EXPECT_TRUE(close_in_ulps(1.0f, axis[3], 4));
  EXPECT_EQ(axis[0], 0.0f); EXPECT_TRUE(close_in_ulps(std::sin(0.5f), axis[2], 2));
  // w a rounding above 1, as q·conj(q) of a unit q gives: no turn, not NaN.
  const Q over{{0, 0, 0, 1.00000012f}};
  EXPECT_EQ(from_bits(Quat_GetAxisEx(h(axis), h(&over))), 0.0f);
  Quat_GetAxis(h(axis), h(&over));
  EXPECT_EQ(axis[3], 0.0f);
}

TEST(Quat, LogExpAndSquadEndpoints) {
  const Q q = rotation_xyz(0.3f, 0.2f, -0.5f);
  Q log, back;
  Quat_Log(h(&log), h(&q));
  EXPECT_EQ(log.c[3], 0.0f);
  Quat_Exp(h(&back), h(&log));
  EXPECT_TRUE(floats_close(q.c, back.c, 4, 8, 1e-7f));
  Q q0 = rotation_xyz(0, 0, 0), q1 = q, q2 = rotation_xyz(0.9f, -0.4f, 0.1f), q3 = rotation_xyz(1.5f, 0.3f, 0.2f);
  Q a, b, c, out;
  Quat_SquadSetup(h(&a), h(&b), h(&c), h(&q0), h(&q1), h(&q2), h(&q3));
  Quat_Squad(h(&out), h(&q1), h(&a), h(&b), h(&c), 0);
  EXPECT_TRUE(same_rotation(q1, out, 8, 1e-7f));
  Quat_Squad(h(&out), h(&q1), h(&a), h(&b), h(&c), 1);
  EXPECT_TRUE(same_rotation(q2, out, 8, 1e-7f));
  Quat_SLerp(h(&out), h(&q1), h(&q2), 1);
  EXPECT_TRUE(same_rotation(q2, out, 8, 1e-7f));
  Quat_BaryCentric(h(&out), h(&q1), h(&q2), h(&q3), 0, 0);
  EXPECT_TRUE(values_close(q1, out, 0)) << "f + g = 0 gives q1";
  // The set-up's outputs may be its inputs.
  Quat_SquadSetup(h(&q0), h(&q1), h(&q2), h(&q0), h(&q1), h(&q2), h(&q3));
  EXPECT_TRUE(values_close(a, q0, 0)); EXPECT_TRUE(values_close(b, q1, 0)); EXPECT_TRUE(values_close(c, q2, 0));
}

TEST(Quat, OutputsMayBeAnyInput) {
  using Call = std::function<void(Handle out, Handle a, Handle b)>;
  const struct {
    const char* name;
    Call call;
    int inputs;
  } cases[] = {
      {"Mul", [](Handle o, Handle a, Handle b) { Quat_Mul(o, a, b); }, 2},
      {"SLerp", [](Handle o, Handle a, Handle b) { Quat_SLerp(o, a, b, 0.3f); }, 2},
      {"Squad", [](Handle o, Handle a, Handle b) { Quat_Squad(o, a, b, a, b, 0.3f); }, 2},
      {"BaryCentric", [](Handle o, Handle a, Handle b) { Quat_BaryCentric(o, a, b, a, 0.2f, 0.5f); }, 2},
      {"Conjugate", [](Handle o, Handle a, Handle) { Quat_Conjugate(o, a); }, 1},
      {"Inverse", [](Handle o, Handle a, Handle) { Quat_Inverse(o, a); }, 1},
      {"Normalize", [](Handle o, Handle a, Handle) { Quat_Normalize(o, a); }, 1},
      {"Log", [](Handle o, Handle a, Handle) { Quat_Log(o, a); }, 1},
      {"Exp", [](Handle o, Handle a, Handle) { Quat_Exp(o, a); }, 1},
      {"RotateLocalXYZ", [](Handle o, Handle a, Handle) { Quat_RotateLocalXYZ(o, a, 0.1f, 0.2f, 0.3f); }, 1},
      {"RotateAxisVec", [](Handle o, Handle a, Handle b) { Quat_RotateAxisVec(o, a, b, 0.6f); }, 2},
      {"RotateLocalAxisVec", [](Handle o, Handle a, Handle b) { Quat_RotateLocalAxisVec(o, a, b, 0.6f); }, 2},
      {"RotationVecXYZ", [](Handle o, Handle a, Handle) { Quat_RotationVecXYZ(o, a); }, 1},
      {"RotationAxisVec", [](Handle o, Handle a, Handle) { Quat_RotationAxisVec(o, a, 0.6f); }, 1},
      {"GetEulerRad", [](Handle o, Handle a, Handle) { Quat_GetEulerRad(o, a); }, 1},
      {"GetAxis", [](Handle o, Handle a, Handle) { Quat_GetAxis(o, a); }, 1},
  };
  const Q a = rotation_xyz(0.4f, -0.7f, 1.1f), b = rotation_xyz(-1.2f, 0.3f, 0.8f);
  for (const auto& c : cases) {
    for (int i = 0; i < c.inputs; ++i) {
      Q separate = i == 0 ? a : b, inputs[2] = {a, b};
      c.call(h(&separate), h(&inputs[0]), h(&inputs[1]));
      Q aliased[2] = {a, b};
      c.call(h(&aliased[i]), h(&aliased[0]), h(&aliased[1]));
      EXPECT_EQ(std::memcmp(&aliased[i], &separate, sizeof separate), 0) << c.name << " with out = input " << i + 1;
    }
  }
}

}  // namespace
}  // namespace kv::test
