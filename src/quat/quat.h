// Helpers shared by the quaternion commands. A Quat is (x, y, z, w), w the
// scalar part; "q then r" is the rotation q followed by r, D3DX's
// quaternion_multiply(out, q, r) (the Hamilton product r·q).
#pragma once

#include "dx/quaternion.h"
#include "dx/types.h"
#include "frame/abi.h"
#include "vector/vec.h"

namespace kv::quat {

using dx::Quat;
using dx::Vec3;

inline Quat get(Handle h) { return load<Quat>(h); }
inline void put(Handle h, const Quat& q) { store(h, q); }

inline Quat then(const Quat& q, const Quat& r) {
  Quat out;
  dx::quaternion_multiply(&out, &q, &r);
  return out;
}

inline Quat normalized(const Quat& q) {
  Quat out;
  dx::quaternion_normalize(&out, &q);
  return out;
}

// The rotation by angle about an axis (normalised first; a zero axis gives
// (0, 0, 0, cos(angle/2))).
inline Quat about(const Vec3& axis, float angle) {
  Quat out;
  dx::quaternion_rotation_axis(&out, &axis, angle);
  return out;
}

// About the coordinate axis number i (0 for X, 1 for Y, 2 for Z).
inline Quat about_axis(int i, float angle) {
  Vec3 axis{{0, 0, 0}};
  axis.c[i] = 1;
  return about(axis, angle);
}

// rx(ax) then ry(ay) then rz(az), not renormalised.
inline Quat rotation_xyz(float ax, float ay, float az) {
  return then(then(about_axis(0, ax), about_axis(1, ay)), about_axis(2, az));
}

// The angles (ax, ay, az) for which rotation_xyz gives q, ay in (−π/2, π/2). The
// squares are rounded to single, and so is each argument of atan2 and asin; q is
// not normalised first (the asin argument depends on its length).
inline Vec3 euler_angles(const Quat& q) {
  const double x = q.x, y = q.y, z = q.z, w = q.w;
  const double xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z, ww = q.w * q.w;
  const float az = float(sm::atan2(float(2 * (x * y + z * w)), float(ww + xx - yy - zz)));
  const float ay = float(sm::asin(float(-2 * (x * z - y * w))));
  const float ax = float(sm::atan2(float(2 * (y * z + x * w)), float(ww - xx - yy + zz)));
  return {{ax, ay, az}};
}

}  // namespace kv::quat
