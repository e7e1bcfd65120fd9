#include "matrix/construction.h"

#include "frame/pool.h"
#include "matrix/mat.h"
#include "vector/construction.h"

using namespace kv;
using namespace kv::mat;

namespace {

std::int32_t fill(Handle h, const Mat4& m) {
  put(h, m);
  return 0;
}

template <class Build, class... Args>
std::int32_t build(Handle h, Build builder, Args... args) {
  Mat4 m;
  builder(&m, args...);
  return fill(h, m);
}

// The scratch axis is read before anything is stored, so the output may be the axis.
std::int32_t rotation_axis(Handle h, const Vec3& axis, float angle) {
  Mat4 m;
  dx::matrix_rotation_axis(&m, &axis, angle);
  return fill(h, m);
}

}  // namespace

KV_EXPORT Handle Mat4_MakeNewEx(float m11, float m12, float m13, float m14, float m21, float m22, float m23, float m24,
                                float m31, float m32, float m33, float m34, float m41, float m42, float m43, float m44) {
  const Handle h = frame::pool(frame::PoolId::Mat4).make_new();
  if (h) put(h, Mat4{{{m11, m12, m13, m14}, {m21, m22, m23, m24}, {m31, m32, m33, m34}, {m41, m42, m43, m44}}});
  return h;
}

KV_EXPORT std::int32_t Mat4_Set(Handle h, float m11, float m12, float m13, float m14, float m21, float m22, float m23,
                                float m24, float m31, float m32, float m33, float m34, float m41, float m42, float m43,
                                float m44) {
  return fill(h, Mat4{{{m11, m12, m13, m14}, {m21, m22, m23, m24}, {m31, m32, m33, m34}, {m41, m42, m43, m44}}});
}

KV_EXPORT std::int32_t Mat4_Copy(Handle destination, Handle source) {
  copy(destination, source);
  return 0;
}

KV_EXPORT std::int32_t Mat4_Identity(Handle h) {
  put_identity(h);
  return 0;
}

// Exact, element by element in storage order; −0 equals 0, NaN equals nothing.
KV_EXPORT std::int32_t Mat4_IsIdentity(Handle h) {
  const Mat4 m = get(h);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      if (m.m[r][c] != (r == c ? 1.0f : 0.0f)) return 0;
    }
  }
  return 1;
}

// The vectors' comparisons over sixteen elements: under 1.2e-8 apart, or within eps.
KV_EXPORT std::int32_t Mat4_IsEqual(Handle a, Handle b) { return vec::equal_within(a, b, 16, tolerance::kIsEqual, true); }
KV_EXPORT std::int32_t Mat4_IsEqualEps(Handle a, Handle b, float eps) { return vec::equal_within(a, b, 16, eps, false); }

KV_EXPORT std::int32_t Mat4_Scaling(Handle h, float sx, float sy, float sz) {
  Mat4 m{};
  m.m[0][0] = sx, m.m[1][1] = sy, m.m[2][2] = sz, m.m[3][3] = 1;
  return fill(h, m);
}

KV_EXPORT std::int32_t Mat4_Translation(Handle h, float x, float y, float z) {
  Mat4 m = identity();
  m.m[3][0] = x, m.m[3][1] = y, m.m[3][2] = z;
  return fill(h, m);
}

KV_EXPORT std::int32_t Mat4_RotationX(Handle h, float angle) { return build(h, dx::matrix_rotation_x, angle); }
KV_EXPORT std::int32_t Mat4_RotationY(Handle h, float angle) { return build(h, dx::matrix_rotation_y, angle); }
KV_EXPORT std::int32_t Mat4_RotationZ(Handle h, float angle) { return build(h, dx::matrix_rotation_z, angle); }
KV_EXPORT std::int32_t Mat4_RotationXYZ(Handle h, float ax, float ay, float az) { return fill(h, rotation_xyz(ax, ay, az)); }

// The angles are read first: they may be the first three floats of the output.
KV_EXPORT std::int32_t Mat4_RotationVecXYZ(Handle h, Handle angles) {
  const Vec3 a = vec::get<3>(angles);
  return fill(h, rotation_xyz(a.c[0], a.c[1], a.c[2]));
}

KV_EXPORT std::int32_t Mat4_RotationYPR(Handle h, float yaw, float pitch, float roll) {
  return build(h, dx::matrix_rotation_yaw_pitch_roll, yaw, pitch, roll);
}

KV_EXPORT std::int32_t Mat4_RotationAxis(Handle h, float x, float y, float z, float angle) {
  return rotation_axis(h, {{x, y, z}}, angle);
}
KV_EXPORT std::int32_t Mat4_RotationAxisVec(Handle h, Handle axis, float angle) {
  return rotation_axis(h, vec::get<3>(axis), angle);
}

// The three rows as they are: nothing is normalised or made orthogonal.
KV_EXPORT std::int32_t Mat4_FromBasis(Handle h, Handle right, Handle up, Handle look) {
  Mat4 m{};
  set_row(m, 0, vec::get<3>(right));
  set_row(m, 1, vec::get<3>(up));
  set_row(m, 2, vec::get<3>(look));
  m.m[3][3] = 1;
  return fill(h, m);
}

KV_EXPORT std::int32_t Mat4_FromQuat(Handle h, Handle q) {
  const Quat rotation = load<Quat>(q);
  return build(h, dx::matrix_rotation_quaternion, &rotation);
}
