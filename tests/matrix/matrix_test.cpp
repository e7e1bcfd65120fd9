// Matrix commands: identities and known values that catch wrong orders, signs,
// rows taken for columns and outputs written too early.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "dx/matrix.h"
#include "matrix/algebra.h"
#include "matrix/basis.h"
#include "matrix/construction.h"
#include "matrix/element.h"
#include "matrix/interpolation.h"
#include "matrix/projection.h"
#include "matrix/transforms.h"
#include "support/library.h"
#include "support/ulp.h"

namespace kv::test {
namespace {

using dx::Mat4;
constexpr float kPi = 3.14159265f;

Mat4 identity() {
  Mat4 m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
  return m;
}

// The row (x, y, z, 1) times m, divided by its w.
std::array<float, 3> apply(const Mat4& m, float x, float y, float z) {
  double r[4];
  for (int c = 0; c < 4; ++c) r[c] = x * double(m.m[0][c]) + y * double(m.m[1][c]) + z * double(m.m[2][c]) + m.m[3][c];
  return {float(r[0] / r[3]), float(r[1] / r[3]), float(r[2] / r[3])};
}

// A well-conditioned transform whose elements are all non-zero and distinct.
Mat4 sample(float angle = 0.4f) {
  Mat4 m;
  Mat4_RotationXYZ(h(&m), angle, -0.7f, 1.1f);
  Mat4_ScaleLocal(h(&m), h(&m), 1.5f, 0.75f, 2.25f);
  Mat4_SetTranslation(h(&m), h(&m), 3, -4, 5);
  m.m[0][3] = 0.125f, m.m[1][3] = -0.25f, m.m[2][3] = 0.375f, m.m[3][3] = 1.5f;
  return m;
}

TEST(Matrix, ElementsByRowAndColumnFromOne) {
  Mat4 m;
  Mat4_Set(h(&m), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  EXPECT_EQ(from_bits(Mat4_GetElement(h(&m), 2, 3)), 7.0f);
  EXPECT_EQ(from_bits(Mat4_GetElement(h(&m), 4, 1)), from_bits(Mat4_GetElementIndex(h(&m), 12)));
  Mat4_SetElement(h(&m), 3, 2, -1);
  EXPECT_EQ(m.m[2][1], -1.0f);
  EXPECT_EQ(m.m[1][2], 7.0f);
  EXPECT_EQ(from_bits(Mat4_GetTranslationY(h(&m))), 14.0f);
}

TEST(Matrix, IsIdentityIsExact) {
  Mat4 m = identity();
  EXPECT_EQ(Mat4_IsIdentity(h(&m)), 1);
  m.m[2][0] = -0.0f;
  EXPECT_EQ(Mat4_IsIdentity(h(&m)), 1) << "−0 counts as 0";
  for (float bad : {1e-7f, std::nanf("")}) {
    m.m[0][1] = bad;
    EXPECT_EQ(Mat4_IsIdentity(h(&m)), 0) << bad;
  }
}

TEST(Matrix, EulerAnglesRoundTripThroughRotationXYZ) {
  Mat4 m, x, y, z, xy, xyz;
  Mat4_RotationXYZ(h(&m), 0.3f, -0.7f, 1.1f);
  Mat4_RotationX(h(&x), 0.3f), Mat4_RotationY(h(&y), -0.7f), Mat4_RotationZ(h(&z), 1.1f);
  Mat4_Mul(h(&xy), h(&x), h(&y));
  Mat4_Mul(h(&xyz), h(&xy), h(&z));
  EXPECT_TRUE(values_close(xyz, m, 2, 1e-7f)) << "X first, then Y, then Z (each product rounded, against once)";
  float angles[3];
  Mat4_GetEulerRad(h(angles), h(&m));
  const float expected[3] = {0.3f, -0.7f, 1.1f};
  EXPECT_TRUE(floats_close(expected, angles, 3, 8));
  Mat4_RotationVecXYZ(h(&m), h(angles));
  EXPECT_TRUE(values_close(xyz, m, 8, 1e-7f));
  Mat4_RotationY(h(&m), 0.5f);
  Mat4_GetEulerDeg(h(angles), h(&m));
  const float degrees[3] = {0, 28.64789f, 0};
  EXPECT_TRUE(floats_close(degrees, angles, 3, 2, 1e-6f));
}

TEST(Matrix, WorldTurnsMoveThePositionLocalTurnsKeepIt) {
  Mat4 world, local;
  Mat4_Translation(h(&world), 5, 0, 0);
  local = world;
  Mat4_RotateZ(h(&world), h(&world), kPi / 2);
  Mat4_RotateLocalZ(h(&local), h(&local), kPi / 2);
  EXPECT_NEAR(world.m[3][0], 0, 1e-6); EXPECT_NEAR(world.m[3][1], 5, 1e-6);
  EXPECT_EQ(local.m[3][0], 5.0f); EXPECT_EQ(local.m[3][1], 0.0f);
  // Three turns on a non-trivial start: world = in·Rx·Ry·Rz, local = Rz·Ry·Rx·in.
  const Mat4 in = sample();
  Mat4 rx, ry, rz, expected, got;
  Mat4_RotationX(h(&rx), 0.2f), Mat4_RotationY(h(&ry), -0.9f), Mat4_RotationZ(h(&rz), 1.3f);
  Mat4_Mul(h(&expected), h(&in), h(&rx)), Mat4_Mul(h(&expected), h(&expected), h(&ry));
  Mat4_Mul(h(&expected), h(&expected), h(&rz));
  Mat4_RotateXYZ(h(&got), h(&in), 0.2f, -0.9f, 1.3f);
  EXPECT_TRUE(values_close(expected, got, 4, 1e-6f));
  Mat4_Mul(h(&expected), h(&rx), h(&in)), Mat4_Mul(h(&expected), h(&ry), h(&expected));
  Mat4_Mul(h(&expected), h(&rz), h(&expected));
  Mat4_RotateLocalXYZ(h(&got), h(&in), 0.2f, -0.9f, 1.3f);
  EXPECT_TRUE(values_close(expected, got, 4, 1e-6f));
  // Each single-axis turn: in·R about the world axis, R·in about its own.
  const struct {
    const char* name;
    std::int32_t (*turn)(Handle, Handle, float);
    std::int32_t (*rotation)(Handle, float);
    bool local;
  } turns[] = {
      {"RotateX", Mat4_RotateX, Mat4_RotationX, false},          {"RotateY", Mat4_RotateY, Mat4_RotationY, false},
      {"RotateZ", Mat4_RotateZ, Mat4_RotationZ, false},          {"RotateLocalX", Mat4_RotateLocalX, Mat4_RotationX, true},
      {"RotateLocalY", Mat4_RotateLocalY, Mat4_RotationY, true}, {"RotateLocalZ", Mat4_RotateLocalZ, Mat4_RotationZ, true},
  };
  for (const auto& t : turns) {
    Mat4 r;
    t.rotation(h(&r), 0.7f);
    t.local ? Mat4_Mul(h(&expected), h(&r), h(&in)) : Mat4_Mul(h(&expected), h(&in), h(&r));
    t.turn(h(&got), h(&in), 0.7f);
    EXPECT_TRUE(values_close(expected, got, 2, 1e-6f)) << t.name;
  }
  // An axis turn about a coordinate axis is that axis's turn.
  Mat4_RotateAxis(h(&got), h(&in), 0, 2, 0, -0.9f);
  Mat4_Mul(h(&expected), h(&in), h(&ry));
  EXPECT_TRUE(values_close(expected, got, 4, 1e-6f));
  const float y_axis[3] = {0, 3, 0};
  Mat4_RotateLocalAxisVec(h(&got), h(&in), h(y_axis), -0.9f);
  Mat4_Mul(h(&expected), h(&ry), h(&in));
  EXPECT_TRUE(values_close(expected, got, 4, 1e-6f));
}

TEST(Matrix, MovesAreInWorldUnitsAlongTheOwnAxes) {
  Mat4 m = identity();
  Mat4_MoveForward(h(&m), h(&m), 2);
  Mat4_ScaleLocal(h(&m), h(&m), 3, 3, 3);
  Mat4_MoveForward(h(&m), h(&m), 2);
  EXPECT_EQ(m.m[3][2], 4.0f) << "2 more, not 6";
  Mat4 turned;
  Mat4_RotationZ(h(&turned), kPi / 2);
  Mat4_MoveRight(h(&m), h(&turned), 3);  // right is (0, 1, 0) after the turn
  Mat4_MoveUp(h(&m), h(&m), 2);          // up is (−1, 0, 0)
  EXPECT_NEAR(m.m[3][0], -2, 1e-6); EXPECT_NEAR(m.m[3][1], 3, 1e-6);
  EXPECT_EQ(turned.m[3][1], 0.0f) << "in is left as it was";
  // The translation row becomes (x, y, z, 1) whatever m44 was; the rest is kept.
  for (float m44 : {0.0f, 1.5f}) {
    Mat4 in = sample();
    in.m[3][3] = m44;
    Mat4_SetTranslation(h(&m), h(&in), 7, -8, 9);
    const float row[4] = {7, -8, 9, 1};
    EXPECT_TRUE(floats_close(row, m.m[3], 4, 0)) << "m44 was " << m44;
    EXPECT_EQ(std::memcmp(m.m, in.m, 48), 0) << "rows 1 to 3 kept";
  }
}

TEST(Matrix, ScaleRowsAndMeasureColumns) {
  Mat4 m;
  Mat4_Scaling(h(&m), 2, 3, 4);
  const float scales[3] = {from_bits(Mat4_GetScaleX(h(&m))), from_bits(Mat4_GetScaleY(h(&m))),
                           from_bits(Mat4_GetScaleZ(h(&m)))};
  EXPECT_EQ(scales[0], 2.0f); EXPECT_EQ(scales[1], 3.0f); EXPECT_EQ(scales[2], 4.0f);
  // On a general matrix: ScaleLocal scales rows, ScaleGlobal columns (not row 4),
  // SetScale sets row lengths.
  const Mat4 in = sample();
  Mat4 local, global, set;
  Mat4_ScaleLocal(h(&local), h(&in), 2, 3, 4);
  Mat4_ScaleGlobal(h(&global), h(&in), 2, 3, 4);
  Mat4_SetScale(h(&set), h(&in), 2, 3, 4);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      const float s[3] = {2, 3, 4};
      EXPECT_EQ(local.m[r][c], r < 3 && c < 3 ? in.m[r][c] * s[r] : in.m[r][c]) << r << c;
      EXPECT_EQ(global.m[r][c], r < 3 && c < 3 ? in.m[r][c] * s[c] : in.m[r][c]) << r << c;
    }
    if (r < 3) {
      EXPECT_NEAR(std::hypot(set.m[r][0], set.m[r][1], set.m[r][2]), r + 2, 4e-7 * (r + 2)) << r;
    }
  }
  EXPECT_EQ(std::memcmp(set.m[3], in.m[3], 16), 0) << "SetScale keeps row 4";
  // A turned matrix scaled along its own X: rows and columns disagree.
  Mat4_RotationZ(h(&m), 0.5f);
  Mat4_ScaleLocal(h(&m), h(&m), 2, 1, 1);
  const float column_1 = from_bits(Mat4_GetScaleX(h(&m)));
  EXPECT_GT(std::fabs(column_1 - 2.0f), 0.1f) << "GetScaleX measures column 1, not row 1";
  Mat4 unit;
  Mat4_SetScale(h(&unit), h(&m), 1, 1, 1);
  for (int r = 0; r < 3; ++r) EXPECT_NEAR(std::hypot(unit.m[r][0], unit.m[r][1], unit.m[r][2]), 1, 1e-7);
  Mat4_RemoveScaling(h(&m), h(&m));
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(std::hypot(m.m[0][c], m.m[1][c], m.m[2][c]), 1, 1e-7);
  Mat4_Scaling(h(&m), 2, 3, 4);
  Mat4_RemoveScaling(h(&m), h(&m));
  EXPECT_EQ(Mat4_IsIdentity(h(&m)), 1);
}

TEST(Matrix, BasisRowsRawAndNormalised) {
  const Mat4 m = sample();
  float v[3];
  const struct {
    std::int32_t (*raw)(Handle, Handle);
    std::int32_t (*ex)(Handle, Handle, std::int32_t);
    int row;
  } axes[] = {{Mat4_GetRightVec, Mat4_GetRightVecEx, 0}, {Mat4_GetUpVec, Mat4_GetUpVecEx, 1}, {Mat4_GetLookVec, Mat4_GetLookVecEx, 2}};
  for (const auto& a : axes) {
    a.raw(h(v), h(&m));
    EXPECT_TRUE(floats_close(m.m[a.row], v, 3, 0)) << a.row;
    a.ex(h(v), h(&m), -1);
    EXPECT_NEAR(std::hypot(v[0], v[1], v[2]), 1, 2e-7) << a.row;
    EXPECT_NEAR(v[2] / v[0], m.m[a.row][2] / m.m[a.row][0], 1e-5) << a.row;
  }
  Mat4_GetTranslationVec(h(v), h(&m));
  EXPECT_TRUE(floats_close(m.m[3], v, 3, 0));
}

// The determinant against the exact one: integer elements up to 2^20, whose 24
// products of four fit in 128-bit integers, and rows made nearly dependent half
// the time, where it cancels. Formed in double, it is off by no more than the
// double rounding of its terms (2^-40 of their sizes) or one ULP of the answer;
// a determinant formed in single is not.
TEST(Matrix, DeterminantsAgainstExactIntegers) {
  std::mt19937 rng(20261207);
  for (int draw = 0; draw < 2000; ++draw) {
    std::int64_t e[4][4];
    for (auto& row : e) {
      for (auto& x : row) x = std::int64_t(rng() % (1u << 21)) - (1 << 20);
    }
    if (draw % 2) {
      for (int c = 0; c < 4; ++c) e[3][c] = e[0][c] + e[1][c] - e[2][c] + std::int64_t(rng() % 3) - 1;
    }
    Mat4 m;
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) m.m[r][c] = float(e[r][c]);
    }
    __int128 det = 0;
    long double size = 0;
    const int perms[24][4] = {{0,1,2,3},{0,1,3,2},{0,2,1,3},{0,2,3,1},{0,3,1,2},{0,3,2,1},{1,0,2,3},{1,0,3,2},
                              {1,2,0,3},{1,2,3,0},{1,3,0,2},{1,3,2,0},{2,0,1,3},{2,0,3,1},{2,1,0,3},{2,1,3,0},
                              {2,3,0,1},{2,3,1,0},{3,0,1,2},{3,0,2,1},{3,1,0,2},{3,1,2,0},{3,2,0,1},{3,2,1,0}};
    for (const auto& p : perms) {
      int inversions = 0;
      for (int i = 0; i < 4; ++i) {
        for (int j = i + 1; j < 4; ++j) inversions += p[i] > p[j];
      }
      const __int128 term = __int128(e[0][p[0]]) * e[1][p[1]] * e[2][p[2]] * e[3][p[3]];
      det += inversions % 2 ? -term : term;
      size += std::fabs((long double)term);
    }
    const long double exact = (long double)det, got = from_bits(Mat4_Determinant(h(&m)));
    const long double ulp = std::fabs(exact) > 0 ? std::ldexp(1.0L, std::ilogb(float(exact)) - 23) : 0;
    EXPECT_LE(std::fabs(got - exact), std::max(ulp, std::ldexp(size, -40))) << draw;
  }
}

TEST(Matrix, InverseTimesMatrixIsTheIdentity) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> angle(-3, 3);
  for (int i = 0; i < 200; ++i) {
    Mat4 m = sample(angle(rng));
    m.m[0][3] = m.m[1][3] = m.m[2][3] = 0, m.m[3][3] = 1;  // affine: well conditioned
    Mat4 inverse, product, inverse_transposed;
    const float det = from_bits(Mat4_InverseDet(h(&inverse), h(&m)));
    EXPECT_TRUE(close_in_ulps(from_bits(Mat4_Determinant(h(&m))), det, 0));
    Mat4_Mul(h(&product), h(&m), h(&inverse));
    EXPECT_TRUE(values_close(identity(), product, 0, 4e-6f)) << i;
    Mat4_InverseTranspose(h(&inverse_transposed), h(&m));
    Mat4_Transpose(h(&inverse_transposed), h(&inverse_transposed));
    EXPECT_TRUE(values_close(inverse, inverse_transposed, 0));
  }
  Mat4 s, out;
  Mat4_Scaling(h(&s), 2, 3, 4);
  EXPECT_EQ(from_bits(Mat4_InverseDet(h(&out), h(&s))), 24.0f);
  Mat4 expected;
  Mat4_Scaling(h(&expected), 0.5f, 1 / 3.0f, 0.25f);
  EXPECT_TRUE(values_close(expected, out, 0));
}

TEST(Matrix, SingularInverseLeavesTheOutputAsItWas) {
  // Row 3 = 2 × row 1, in small integers: the determinant is exactly 0 in any order of sums.
  const Mat4 singular{{{1, -2, 3, 5}, {4, 7, -6, 2}, {2, -4, 6, 10}, {-3, 8, 1, 9}}};
  const Mat4 before = sample(1.0f);
  const struct {
    const char* name;
    std::function<std::uint32_t(Handle, Handle)> call;
  } cases[] = {
      {"Inverse", [](Handle o, Handle i) { return std::uint32_t(Mat4_Inverse(o, i)); }},
      {"InverseDet", [](Handle o, Handle i) { return Mat4_InverseDet(o, i); }},
      {"InverseTranspose", [](Handle o, Handle i) { return std::uint32_t(Mat4_InverseTranspose(o, i)); }},
  };
  for (const auto& c : cases) {
    Mat4 out = before;
    EXPECT_EQ(c.call(h(&out), h(&singular)), 0u) << c.name;
    EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0) << c.name << " wrote into out";
  }
}

TEST(Matrix, DecomposeGivesScaleRotationAndTranslationBack) {
  Mat4 s, r, t, m;
  Mat4_Scaling(h(&s), 1, 2, 3), Mat4_RotationX(h(&r), 0.5f), Mat4_Translation(h(&t), 4, 5, 6);
  Mat4_Mul(h(&m), h(&s), h(&r)), Mat4_Mul(h(&m), h(&m), h(&t));
  float scale[3], q[4], move[3];
  Mat4_Decompose(h(scale), h(q), h(move), h(&m));
  const float es[3] = {1, 2, 3}, eq[4] = {std::sin(0.25f), 0, 0, std::cos(0.25f)}, et[3] = {4, 5, 6};
  EXPECT_TRUE(floats_close(es, scale, 3, 2));
  EXPECT_TRUE(floats_close(eq, q, 4, 4, 1e-7f));
  EXPECT_TRUE(floats_close(et, move, 3, 0));
}

TEST(Matrix, ProjectionsMapNearToDepthZeroAndFarToOne) {
  // Asymmetric windows and distinct values, so that a swapped sign or element shows.
  const float l = -1.5f, r = 2.5f, b = -0.75f, t = 1.25f, zn = 0.5f, zf = 40;
  const struct {
    const char* name;
    std::function<void(Mat4*)> build;
    float z_sign;          // +1 looks along +z (LH), −1 along −z (RH)
    bool window_at_near;   // the window's corners map to ±1 at the near plane (perspective) or everywhere (ortho)
  } cases[] = {
      {"PerspectiveOffCenterLH", [&](Mat4* m) { Mat4_PerspectiveOffCenterLH(h(m), l, r, b, t, zn, zf); }, 1, true},
      {"PerspectiveOffCenterRH", [&](Mat4* m) { Mat4_PerspectiveOffCenterRH(h(m), l, r, b, t, zn, zf); }, -1, true},
      {"OrthoOffCenterLH", [&](Mat4* m) { Mat4_OrthoOffCenterLH(h(m), l, r, b, t, zn, zf); }, 1, false},
      {"OrthoOffCenterRH", [&](Mat4* m) { Mat4_OrthoOffCenterRH(h(m), l, r, b, t, zn, zf); }, -1, false},
  };
  for (const auto& c : cases) {
    Mat4 m;
    std::memset(&m, 0x7F, sizeof m);  // a builder must write every element
    c.build(&m);
    const auto lower = apply(m, l, b, c.z_sign * zn), upper = apply(m, r, t, c.z_sign * zn);
    const float e_lower[3] = {-1, -1, 0}, e_upper[3] = {1, 1, 0};
    EXPECT_TRUE(floats_close(e_lower, lower.data(), 3, 4, 1e-6f)) << c.name;
    EXPECT_TRUE(floats_close(e_upper, upper.data(), 3, 4, 1e-6f)) << c.name;
    const float scale = c.window_at_near ? zf / zn : 1;
    const auto far = apply(m, r * scale, b * scale, c.z_sign * zf);
    const float e_far[3] = {1, -1, 1};
    EXPECT_TRUE(floats_close(e_far, far.data(), 3, 8, 1e-6f)) << c.name;
  }
  // The centred builders, against the off-centre ones with the same window.
  Mat4 centred, off;
  const struct {
    const char* name;
    std::function<void(Mat4*)> centred, off_centre;
  } pairs[] = {
      {"PerspectiveLH", [](Mat4* m) { Mat4_PerspectiveLH(h(m), 0.5f, 40, 3, 2); },
       [](Mat4* m) { Mat4_PerspectiveOffCenterLH(h(m), -1.5f, 1.5f, -1, 1, 0.5f, 40); }},
      {"PerspectiveRH", [](Mat4* m) { Mat4_PerspectiveRH(h(m), 0.5f, 40, 3, 2); },
       [](Mat4* m) { Mat4_PerspectiveOffCenterRH(h(m), -1.5f, 1.5f, -1, 1, 0.5f, 40); }},
      {"PerspectiveFOVLH", [](Mat4* m) { Mat4_PerspectiveFOVLH(h(m), 1, 100, 90, 1.5f); },
       [](Mat4* m) { Mat4_PerspectiveOffCenterLH(h(m), -1.5f, 1.5f, -1, 1, 1, 100); }},
      {"PerspectiveFOVRH", [](Mat4* m) { Mat4_PerspectiveFOVRH(h(m), 1, 100, 90, 1.5f); },
       [](Mat4* m) { Mat4_PerspectiveOffCenterRH(h(m), -1.5f, 1.5f, -1, 1, 1, 100); }},
      {"OrthoLH", [](Mat4* m) { Mat4_OrthoLH(h(m), 0.5f, 40, 3, 2, 1); },
       [](Mat4* m) { Mat4_OrthoOffCenterLH(h(m), -1.5f, 1.5f, -1, 1, 0.5f, 40); }},
      {"OrthoRH", [](Mat4* m) { Mat4_OrthoRH(h(m), 0.5f, 40, 3, 2, 1); },
       [](Mat4* m) { Mat4_OrthoOffCenterRH(h(m), -1.5f, 1.5f, -1, 1, 0.5f, 40); }},
  };
  for (const auto& p : pairs) {
    p.centred(&centred), p.off_centre(&off);
    EXPECT_TRUE(values_close(off, centred, 2, 1e-7f)) << p.name;
  }
  Mat4_OrthoLH(h(&centred), 0, 10, 4, 2, 2);
  EXPECT_EQ(centred.m[3][3], 0.5f) << "the zoom is 1/k in m44";
}

TEST(Matrix, LookAtPutsTheTargetOnTheViewAxis) {
  const float eye[3] = {1, 2, 3}, target[3] = {4, 6, 3}, up[3] = {0, 0, 1};
  Mat4 lh, rh;
  Mat4_LookAtLH(h(&lh), h(eye), h(target), h(up));
  Mat4_LookAtRH(h(&rh), h(eye), h(target), h(up));
  const auto a = apply(lh, 4, 6, 3), b = apply(rh, 4, 6, 3);
  const float e_lh[3] = {0, 0, 5}, e_rh[3] = {0, 0, -5};
  EXPECT_TRUE(floats_close(e_lh, a.data(), 3, 2, 1e-6f));
  EXPECT_TRUE(floats_close(e_rh, b.data(), 3, 2, 1e-6f));
  const float centre[2] = {0, 0}, none[2] = {0, 0};
  Mat4 m;
  Mat4_Affine2D(h(&m), 1, h(centre), kPi / 2, h(none));
  const auto turned = apply(m, 1, 0, 0);
  const float e_turned[3] = {0, 1, 0};
  EXPECT_TRUE(floats_close(e_turned, turned.data(), 3, 2, 1e-7f));
}

TEST(Matrix, BlendsLeaveTheFourthColumnAndTheCallersB) {
  const Mat4 a = identity();
  Mat4 quarter, eighth, out = identity();
  // Below a right angle: at π/2 in single the rows' dot product is −4e-8 and the
  // arc runs toward the negated row.
  Mat4_RotationZ(h(&quarter), 1.5f);
  Mat4_RotationZ(h(&eighth), 0.75f);
  quarter.m[3][0] = 10, quarter.m[3][1] = -6;
  Mat4_SLerp(h(&out), h(&a), h(&quarter), 0.5f);
  eighth.m[3][0] = 5, eighth.m[3][1] = -3;
  EXPECT_TRUE(values_close(eighth, out, 4, 1e-7f));
  Mat4_NLerp(h(&out), h(&a), h(&quarter), 0.5f);
  EXPECT_TRUE(values_close(eighth, out, 4, 1e-7f));
  Mat4_Lerp(h(&out), h(&a), h(&quarter), 0.25f);
  EXPECT_EQ(out.m[0][1], float(0.25 * quarter.m[0][1])); EXPECT_EQ(out.m[3][0], 2.5f);
  // Exactly a quarter turn in single: the rows' dot product is −4.4e-8, not obtuse.
  const float quarter_turn = 1.5707964f;
  Mat4_RotationZ(h(&quarter), quarter_turn);
  Mat4_RotationZ(h(&eighth), quarter_turn / 2);
  for (auto [t, expected] : {std::pair{0.5f, &eighth}, {1.0f, &quarter}}) {
    Mat4_SLerp(h(&out), h(&a), h(&quarter), t);
    EXPECT_TRUE(values_close(*expected, out, 4, 1e-7f)) << "t = " << t;
  }
  // b = a mirror: its row 1 is against a's, so the arc runs toward a negated copy.
  Mat4 mirror;
  Mat4_Scaling(h(&mirror), -1, 1, 1);
  const Mat4 mirror_before = mirror;
  out.m[0][3] = 5, out.m[3][3] = 0;
  Mat4_SLerp(h(&out), h(&a), h(&mirror), 0.7f);
  EXPECT_EQ(std::memcmp(&mirror, &mirror_before, sizeof mirror), 0) << "b is not negated in place";
  EXPECT_EQ(out.m[0][0], 1.0f);
  EXPECT_EQ(out.m[0][3], 5.0f) << "m14 is never written";
  EXPECT_EQ(out.m[3][3], 1.0f);
}

// Every command gives the same bits when its output is also one of its inputs.
TEST(Matrix, OutputsMayBeAnyInput) {
  using Call = std::function<void(Handle out, Handle a, Handle b)>;
  const struct {
    const char* name;
    Call call;
    int inputs;
  } cases[] = {
      {"Mul", [](Handle o, Handle a, Handle b) { Mat4_Mul(o, a, b); }, 2},
      {"MulTranspose", [](Handle o, Handle a, Handle b) { Mat4_MulTranspose(o, a, b); }, 2},
      {"Lerp", [](Handle o, Handle a, Handle b) { Mat4_Lerp(o, a, b, 0.3f); }, 2},
      {"NLerp", [](Handle o, Handle a, Handle b) { Mat4_NLerp(o, a, b, 0.3f); }, 2},
      {"SLerp", [](Handle o, Handle a, Handle b) { Mat4_SLerp(o, a, b, 0.3f); }, 2},
      {"Transpose", [](Handle o, Handle a, Handle) { Mat4_Transpose(o, a); }, 1},
      {"Inverse", [](Handle o, Handle a, Handle) { Mat4_Inverse(o, a); }, 1},
      {"InverseTranspose", [](Handle o, Handle a, Handle) { Mat4_InverseTranspose(o, a); }, 1},
      {"RotateXYZ", [](Handle o, Handle a, Handle) { Mat4_RotateXYZ(o, a, 0.1f, 0.2f, 0.3f); }, 1},
      {"RotateLocalXYZ", [](Handle o, Handle a, Handle) { Mat4_RotateLocalXYZ(o, a, 0.1f, 0.2f, 0.3f); }, 1},
      {"RotateAxisVec", [](Handle o, Handle a, Handle b) { Mat4_RotateAxisVec(o, a, b, 0.6f); }, 2},
      {"RotateLocalAxisVec", [](Handle o, Handle a, Handle b) { Mat4_RotateLocalAxisVec(o, a, b, 0.6f); }, 2},
      {"MoveForward", [](Handle o, Handle a, Handle) { Mat4_MoveForward(o, a, 2.5f); }, 1},
      {"SetScale", [](Handle o, Handle a, Handle) { Mat4_SetScale(o, a, 2, 3, 4); }, 1},
      {"RemoveScaling", [](Handle o, Handle a, Handle) { Mat4_RemoveScaling(o, a); }, 1},
      {"RotationVecXYZ", [](Handle o, Handle a, Handle) { Mat4_RotationVecXYZ(o, a); }, 1},
      {"RotationAxisVec", [](Handle o, Handle a, Handle) { Mat4_RotationAxisVec(o, a, 0.6f); }, 1},
      {"FromQuat", [](Handle o, Handle a, Handle) { Mat4_FromQuat(o, a); }, 1},
      {"FromBasis", [](Handle o, Handle a, Handle b) { Mat4_FromBasis(o, a, b, a + 8); }, 2},
      {"GetEulerRad", [](Handle o, Handle a, Handle) { Mat4_GetEulerRad(o, a); }, 1},
      {"GetLookVecEx", [](Handle o, Handle a, Handle) { Mat4_GetLookVecEx(o, a, 1); }, 1},
      {"GetTranslationVec", [](Handle o, Handle a, Handle) { Mat4_GetTranslationVec(o, a); }, 1},
      {"LookAtLH", [](Handle o, Handle a, Handle b) { Mat4_LookAtLH(o, a, b, a + 20); }, 2},
  };
  const Mat4 a = sample(0.4f), b = sample(-2.2f);
  for (const auto& c : cases) {
    for (int i = 0; i < c.inputs; ++i) {
      Mat4 separate = i == 0 ? a : b, inputs[2] = {a, b};  // out starts as the input it will alias
      c.call(h(&separate), h(&inputs[0]), h(&inputs[1]));
      Mat4 aliased[2] = {a, b};
      c.call(h(&aliased[i]), h(&aliased[0]), h(&aliased[1]));
      EXPECT_EQ(std::memcmp(&aliased[i], &separate, sizeof separate), 0) << c.name << " with out = input " << i + 1;
    }
  }
}

}  // namespace
}  // namespace kv::test
